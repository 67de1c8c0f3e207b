#include "engine/stages/color_noise_reduction/color_noise_reduction.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/kernels/range_scanner.h"
#include "engine/kernels/simd.h"
#include "engine/kernels/walk_job.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/stages/color_noise_reduction/ray_list.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// The fast walks take each band in strips of this many columns, so that
// the range rows they keep do not grow with the image width.
constexpr int kStripWidth = 256;

int stripCount(int width) { return (width + kStripWidth - 1) / kStripWidth; }

// What every work item shares, read-only while the workers run.
struct ColorNRJob : WalkJob<ColorNRParams> {
    ChromaWalkRowFn walkRow = nullptr;    // one component, where walkPair cannot run
    ChromaWalkPairFn walkPair = nullptr;  // both components at once, where the processor allows
    const uint16_t* luma = nullptr;
    const int16_t* chroma = nullptr;
    int16_t* out = nullptr;
    std::span<const RayEntry> rays;
    RowSpans spans;      // rows and widths the rays cover
    int reach = 0;       // largest |dx|
    std::vector<RayStep> steps;
    // The chroma components, offset by 32768, one plane each in the caller's scratch.
    std::array<uint16_t*, 2> offsetChroma{};
};

using ColorNRItem = JobItem<ColorNRJob>;

// The average of both passes' walks for one component of row y, columns
// xBegin..xEnd-1.
template <class WalkPass>
void denoiseComponent(const ColorNRJob& job, int y, int component, int xBegin, int xEnd, WalkPass walkPass)
{
    int16_t* out = job.out + static_cast<std::size_t>(y) * job.width * 2 + component;
    for (int x = xBegin; x < xEnd; ++x)
        out[2 * x] = static_cast<int16_t>(walkPass(x, 0));
    for (int x = xBegin; x < xEnd; ++x)
        out[2 * x] = static_cast<int16_t>((walkPass(x, 1) + out[2 * x]) / 2);
}

// Progress: four units (two components, two passes) per row and strip.
bool literalWorker(ColorNRItem& item)
{
    const ColorNRJob& job = *item.job;
    for (int y = item.firstRow; y < item.endRow; ++y) {
        for (int c = 0; c < 2; ++c) {
            denoiseComponent(job, y, c, 0, job.width, [&](int x, int p) {
                return chromaWalk(job.chroma, job.luma, job.width, job.height, x, y, c, job.rays,
                                  job.params.passes[p], job.params.lumaTolerance);
            });
        }
        if (!item.tick(4 * stripCount(job.width)))
            return false;
    }
    return true;
}

// The band's rows of both chroma components, offset, into the shared planes.
void offsetBandChroma(const ColorNRJob& job, const WorkItem& item)
{
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t offset = static_cast<std::size_t>(y) * job.width;
        const int16_t* chroma = job.chroma + 2 * offset;
        uint16_t* u = job.offsetChroma[0] + offset;
        uint16_t* v = job.offsetChroma[1] + offset;
        for (int x = 0; x < job.width; ++x) {
            u[x] = offsetChroma(chroma[2 * x]);
            v[x] = offsetChroma(chroma[2 * x + 1]);
        }
    }
}

// The ranges of both offset chroma components and of the luma over each
// pixel's ray neighbourhood, row by row through one band, for the columns
// of one strip: the scanners see the strip and the columns its rays reach.
class StripRanges {
public:
    bool init(const ColorNRJob& job, const WorkItem& item, int xBegin, int xEnd)
    {
        xBegin_ = xBegin;
        xEnd_ = xEnd;
        first_ = std::max(0, xBegin - job.reach);
        const int end = std::min(job.width, xEnd + job.reach);
        for (RangeScanner& scanner : scanners_)
            if (!scanner.init(job.spans, end - first_, job.height, item.firstRow, item.endRow))
                return false;
        return true;
    }

    void advance(const ColorNRJob& job, int y)
    {
        scanners_[0].advance(y, job.offsetChroma[0] + first_, job.width);
        scanners_[1].advance(y, job.offsetChroma[1] + first_, job.width);
        scanners_[2].advance(y, job.luma + first_, job.width);
    }

    ChromaRow row(const ColorNRJob& job, int y, int component) const
    {
        const int skip = xBegin_ - first_;  // the columns left of the strip
        return {job.chroma, job.luma, component, job.offsetChroma[component], job.width, job.height, y, xBegin_,
                xEnd_, scanners_[component].minRow() + skip, scanners_[component].maxRow() + skip,
                scanners_[2].minRow() + skip, scanners_[2].maxRow() + skip, job.rays, job.steps, job.reach,
                -job.spans.dyMin, job.spans.dyMax};
    }

private:
    RangeScanner scanners_[3];  // component 0, component 1, luma
    int xBegin_ = 0, xEnd_ = 0;
    int first_ = 0;  // the first column the scanners see
};

// Offsets the band's chroma into the job's two planes.
bool offsetWorker(ColorNRItem& item)
{
    offsetBandChroma(*item.job, item);
    return !item.stopped();
}

// Walks the band strip by strip, from the offset chroma of every band.
bool fastWorker(ColorNRItem& item)
{
    const ColorNRJob& job = *item.job;
    PlaneMemory results;
    if (!results.allocate(4 * static_cast<std::size_t>(job.width) * sizeof(int)))
        return false;
    int* const walked = results.as<int>();
    int* const passResults[2][2] = {{walked, walked + job.width}, {walked + 2 * job.width, walked + 3 * job.width}};

    for (int xBegin = 0; xBegin < job.width; xBegin += kStripWidth) {
        const int xEnd = std::min(job.width, xBegin + kStripWidth);
        StripRanges ranges;
        if (!ranges.init(job, item, xBegin, xEnd))
            return false;
        for (int y = item.firstRow; y < item.endRow; ++y) {
            ranges.advance(job, y);
            const ChromaRow rows[2] = {ranges.row(job, y, 0), ranges.row(job, y, 1)};
            if (job.walkPair) {
                job.walkPair(rows, job.params, passResults);
            } else {
                for (int c = 0; c < 2; ++c)
                    job.walkRow(rows[c], job.params, passResults[c]);
            }
            for (int c = 0; c < 2; ++c)
                denoiseComponent(job, y, c, xBegin, xEnd, [&](int x, int p) { return passResults[c][p][x]; });
            if (!item.tick(4))
                return false;
        }
    }
    return true;
}

// The rays as offsets in the planes, with the rows and columns they reach.
void buildTables(ColorNRJob& job)
{
    job.spans = RowSpans::of(job.rays);
    for (const RayEntry& e : job.rays)
        job.reach = std::max(job.reach, std::abs(static_cast<int>(e.dx)));
    const int n = static_cast<int>(job.rays.size());
    for (int k = 0; k < n; ++k) {
        const RayEntry& e = job.rays[k];
        job.steps.push_back({static_cast<int32_t>(e.dy * job.width + e.dx), e.dx, e.dy,
                             static_cast<int16_t>(std::min(k + e.skip + 1, n))});
    }
}

}  // namespace

std::optional<ColorNRParams> ColorNRParams::from(const ToneSettings& settings, int valueScale)
{
    if (!walkSettingsUsable(settings, &ToneSettings::ColorNR, valueScale))
        return std::nullopt;
    const int64_t s = valueScale;
    const int chromaTolerance = static_cast<int>((settings.ColorNR * s * 3) >> 8);
    ColorNRParams p;
    p.passes = {ChromaPass{static_cast<int>(s * 4 / 256), chromaTolerance >> 2},
                ChromaPass{static_cast<int>(s / 256), chromaTolerance}};
    p.lumaTolerance = static_cast<int>(s * 24 / 256);
    return p;
}

bool runColorNoiseReduction(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height,
                            const uint16_t* luma, const int16_t* chroma, int16_t* out, uint16_t* scratch,
                            std::span<const RayEntry> rays, WalkMethod method)
{
    beginStage(ctx, StatusCode::ColorNR);
    const std::optional<ColorNRParams> params = ColorNRParams::from(ctx.current, ctx.valueScale);
    const bool planesOk = luma && chroma && out && scratch && out != chroma;
    const bool raysOk = !rays.empty() && rays.size() <= static_cast<std::size_t>(kRayListCapacity);
    if (!params || !walkSizeFits(width, height) || !planesOk || !raysOk)
        return false;
    if (abort.load(std::memory_order_relaxed))
        return false;

    ColorNRJob job;
    job.walkRow = pickKernel(chromaWalkRow, QV_AVX2_TWIN(chromaWalkRowAvx2));
    job.walkPair = pickKernel<ChromaWalkPairFn>(nullptr, nullptr, QV_AVX512_TWIN(chromaWalkRowPairAvx512));
    job.luma = luma;
    job.chroma = chroma;
    job.out = out;
    job.rays = rays;
    job.offsetChroma = {scratch, scratch + static_cast<std::size_t>(width) * height};
    if (!job.prepare(*params, method, width, height, [&] { buildTables(job); }))
        return false;

    StageOptions options;
    options.totalWork = 4 * int64_t{height} * stripCount(width);
    if (job.method == WalkMethod::Literal) {
        auto items = jobItems(splitBands(height, ctx.workerCount), job, ctx.valueScale);
        return runStage(ctx, abort, items, options, literalWorker);
    }
    // The walks read the offset chroma of other bands: every band is
    // offset first. The walks' cost follows the picture, so their bands
    // are many and taken in turn.
    auto offsets = jobItems(splitBands(height, ctx.workerCount), job, ctx.valueScale);
    if (!runStage(ctx, abort, offsets, options, offsetWorker))
        return false;
    auto walks = jobItems(splitQueuedBands(height, ctx.workerCount), job, ctx.valueScale);
    options.queued = true;
    return runStage(ctx, abort, walks, options, fastWorker);
}

bool runColorNoiseReductionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma,
                                 const int16_t* chroma, int16_t* out)
{
    state.rayCount = buildRayList(state.rayList.data(), 0.0f, kRayRadius, kRayListCapacity, kRayAngleStep);
    const std::span<const RayEntry> rays(state.rayList.data(), static_cast<std::size_t>(state.rayCount));
    uint16_t* scratch = offsetChromaPlanes(state).data();
    return runColorNoiseReduction(ctx, state.abort, state.width, state.height, luma, chroma, out, scratch, rays);
}

}  // namespace qv
