#include "engine/stages/smoothing/smoothing.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/kernels/range_scanner.h"
#include "engine/kernels/simd.h"
#include "engine/kernels/walk_job.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "engine/stages/smoothing/smoothing_disc.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// One pass's neighbourhood, ready for walking.
struct PassTables {
    std::vector<DiscEntry> entries;  // the pass's entries that can fall inside the image
    std::vector<WalkStep> steps;     // the same as offsets in the sample plane
    RowSpans spans;                  // rows and widths they cover, centre included
    int reach = 0;                   // largest |dx|

    void build(std::span<const DiscEntry> pass, int width, int height)
    {
        for (const DiscEntry& e : pass)
            if (std::abs(e.dx) < width && std::abs(e.dy) < height)
                entries.push_back(e);
        std::vector<DiscEntry> covered = entries;
        covered.push_back({0, 0, 0});
        spans = RowSpans::of(std::span<const DiscEntry>(covered));
        for (const DiscEntry& e : entries) {
            steps.push_back({static_cast<int32_t>(e.dy * width + e.dx), e.dx, e.dy});
            reach = std::max(reach, std::abs(static_cast<int>(e.dx)));
        }
    }
};

// What every work item of a run shares. The first pass's walks read the
// input; the second pass's read the spike-filtered first result, which its
// filter writes into the caller's scratch plane before any walk starts.
struct SmoothingJob : WalkJob<SmoothingParams> {
    WalkRowFn walkRow = nullptr;
    SpikeBlockFn spikeBlocks = nullptr;
    const uint16_t* in = nullptr;
    uint16_t* out = nullptr;
    uint16_t* filtered = nullptr;  // the second pass's samples
    PassTables first;
    PassTables second;
};

using SmoothingItem = JobItem<SmoothingJob>;

// The walks of one pass over the rows of one band, with the scratch they
// need: the neighbourhood ranges and the step list of rows near the top or
// bottom edge.
class BandWalker {
public:
    bool init(const SmoothingJob& job, const PassTables& pass, const uint16_t* samples, const WorkItem& item)
    {
        job_ = &job;
        pass_ = &pass;
        samples_ = samples;
        if (job.method == WalkMethod::Literal)
            return true;
        return scanner_.init(pass.spans, job.width, job.height, item.firstRow, item.endRow) &&
               rowSteps_.allocate(pass.steps.size() * sizeof(WalkStep));
    }

    // The walk results of row y, each walk centred on centres[x].
    void walk(int y, const uint16_t* centres, WalkBand band, uint16_t* results)
    {
        const SmoothingJob& job = *job_;
        if (job.method == WalkMethod::Literal) {
            for (int x = 0; x < job.width; ++x)
                results[x] = trackedWalk(samples_, job.width, job.width, job.height, x, y, centres[x], band,
                                         pass_->entries);
            return;
        }
        if (y != scannedRow_) {
            scanner_.advance(y, samples_, job.width);
            scannedRow_ = y;
        }
        const WalkRow row{samples_,      job.width,         job.height,          y,
                          centres,       scanner_.minRow(), scanner_.maxRow(),   pass_->entries,
                          stepsOfRow(y), pass_->reach,      -pass_->spans.dyMin, pass_->spans.dyMax};
        job.walkRow(row, band, results);
    }

private:
    // The steps whose row lies inside the image.
    std::span<const WalkStep> stepsOfRow(int y)
    {
        const std::vector<WalkStep>& all = pass_->steps;
        if (y + pass_->spans.dyMin >= 0 && y + pass_->spans.dyMax < job_->height)
            return all;
        WalkStep* kept = rowSteps_.as<WalkStep>();
        const WalkStep* end = std::copy_if(all.begin(), all.end(), kept, [&](const WalkStep& s) {
            return y + s.dy >= 0 && y + s.dy < job_->height;
        });
        return {kept, end};
    }

    const SmoothingJob* job_ = nullptr;
    const PassTables* pass_ = nullptr;
    const uint16_t* samples_ = nullptr;
    RangeScanner scanner_;
    PlaneMemory rowSteps_;
    int scannedRow_ = -1;
};

// First pass: spike filter each row, then average three walks over the input.
bool firstPassWorker(SmoothingItem& item)
{
    const SmoothingJob& job = *item.job;
    BandWalker walker;
    PlaneMemory rows;
    const std::size_t w = job.width;
    if (!walker.init(job, job.first, job.in, item) ||
        !rows.allocate(w * (2 * sizeof(uint16_t) + sizeof(uint32_t))))
        return false;
    uint32_t* sums = rows.as<uint32_t>();
    uint16_t* centres = rows.as<uint16_t>(w * sizeof(uint32_t));
    uint16_t* results = centres + w;

    for (int y = item.firstRow; y < item.endRow; ++y) {
        spikeFilterRow(job.in, job.width, job.height, y, job.params.firstSpike, job.spikeBlocks, centres);
        std::fill_n(sums, w, 0u);
        for (const WalkBand& band : job.params.firstWalks) {
            walker.walk(y, centres, band, results);
            for (std::size_t x = 0; x < w; ++x)
                sums[x] += results[x];
        }
        uint16_t* out = job.out + y * w;
        for (std::size_t x = 0; x < w; ++x)
            out[x] = static_cast<uint16_t>(sums[x] / 3);
        if (!item.tick(static_cast<int>(job.params.firstWalks.size())))
            return false;
    }
    return true;
}

// Second pass, first half: the spike filter over the whole first result.
bool secondSpikeWorker(SmoothingItem& item)
{
    const SmoothingJob& job = *item.job;
    for (int y = item.firstRow; y < item.endRow; ++y) {
        spikeFilterRow(job.out, job.width, job.height, y, job.params.secondSpike, job.spikeBlocks,
                       job.filtered + static_cast<std::size_t>(y) * job.width);
        if (!item.tick(0))
            return false;
    }
    return true;
}

// Second pass, second half: one walk over the full neighbourhood.
bool secondWalkWorker(SmoothingItem& item)
{
    const SmoothingJob& job = *item.job;
    BandWalker walker;
    if (!walker.init(job, job.second, job.filtered, item))
        return false;
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t offset = static_cast<std::size_t>(y) * job.width;
        walker.walk(y, job.filtered + offset, job.params.secondWalk, job.out + offset);
        if (!item.tick())
            return false;
    }
    return true;
}

// The neighbourhoods of the passes the job runs.
void buildTables(SmoothingJob& job)
{
    const SmoothingDisc disc = buildSmoothingDisc(smoothingDiscRadius(job.width, job.height));
    job.first.build(disc.firstPass(), job.width, job.height);
    if (job.params.secondPass)
        job.second.build(disc.secondPass(), job.width, job.height);
}

}  // namespace

std::optional<SmoothingParams> SmoothingParams::from(const ToneSettings& settings, int valueScale)
{
    if (!walkSettingsUsable(settings, &ToneSettings::Smoothing, valueScale))
        return std::nullopt;
    const int64_t v = valueScale;
    const int64_t s = settings.Smoothing;
    const int64_t spread = s * v * 6 / 256;
    SmoothingParams p;
    p.strength = settings.Smoothing;
    p.firstSpike = {static_cast<uint32_t>(v * 10 / 256 + spread / 6 * 4), 1, 0, 1};
    p.secondSpike = {static_cast<uint32_t>(v * 60 / 256), 3, 1, 2};
    p.firstWalks = {WalkBand{static_cast<uint32_t>(v * 16 / 256), static_cast<uint32_t>(v * 16 / 256)},
                    WalkBand{static_cast<uint32_t>(v * 4 / 256), static_cast<uint32_t>(spread / 4)},
                    WalkBand{static_cast<uint32_t>(v / 256), static_cast<uint32_t>(spread / 2)}};
    p.secondWalk = {static_cast<uint32_t>(v * 16 / 256), static_cast<uint32_t>(v * 8 / 256)};
    p.secondPass = settings.Smoothing == 10;
    return p;
}

bool runSmoothing(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height, const uint16_t* in,
                  uint16_t* out, uint16_t* scratch, WalkMethod method)
{
    beginStage(ctx, StatusCode::Smoothing);
    const std::optional<SmoothingParams> params = SmoothingParams::from(ctx.current, ctx.valueScale);
    if (!params || !walkSizeFits(width, height) || !in || !out || in == out)
        return false;
    if (params->secondPass && (!scratch || scratch == in || scratch == out))
        return false;

    SmoothingJob job;
    if (method == WalkMethod::Shortcut) {
        job.walkRow = pickKernel(walkRow, QV_AVX2_TWIN(walkRowAvx2), QV_AVX512_TWIN(walkRowAvx512));
        job.spikeBlocks = spikeBlockFilter();
    }
    job.in = in;
    job.out = out;
    job.filtered = scratch;
    if (!job.prepare(*params, method, width, height, [&] { buildTables(job); }))
        return false;

    auto queued = jobItems(splitQueuedBands(height, ctx.workerCount), job, ctx.valueScale);
    StageOptions first;
    first.totalWork = 3 * int64_t{height};
    first.queued = true;
    if (!runStage(ctx, abort, queued, first, firstPassWorker))
        return false;
    if (!job.params.secondPass)
        return true;

    // Every walk of the second pass reads spike-filtered values of other
    // bands, so the filter covers the whole image first.
    auto plain = jobItems(splitBands(height, ctx.workerCount), job, ctx.valueScale);
    const StageOptions second{StatusCode::Smoothing2, height, false, false};
    if (!runStage(ctx, abort, plain, second, secondSpikeWorker))
        return false;
    StageOptions secondWalks = second;
    secondWalks.queued = true;
    return runStage(ctx, abort, queued, secondWalks, secondWalkWorker);
}

bool runSmoothingStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    uint16_t* scratch = spikeFilteredLuma(state).data();
    return runSmoothing(ctx, state.abort, state.width, state.height, in, out, scratch);
}

}  // namespace qv
