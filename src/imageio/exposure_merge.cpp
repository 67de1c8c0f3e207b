#include "imageio/exposure_merge.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>

#include "imageio/exposure_blend.h"
#include "imageio/image_io_context.h"
#include "imageio/level_map.h"
#include "imageio/parallel_rows.h"
#include "text/failure_text.h"

namespace qv {

namespace {

constexpr double kWhite = 65535.0;
constexpr int kBrightnessStep = 8;

std::string outOfMemoryText() { return failureLine(kLoadErrorText, {}, failureReason(ENOMEM)); }

bool wellFormed(const Exposure& e)
{
    return e.image8 && e.image16 && e.image8->format() == PixelFormat::Bgr24 &&
           e.image16->format() == PixelFormat::Bgr48 && e.image8->width() == e.image16->width() &&
           e.image8->height() == e.image16->height() && (e.bitDepth == 24 || e.bitDepth == 48);
}

// Darkest first; exposures of equal brightness keep their list order.
bool orderByBrightness(std::vector<Exposure>& exposures, const std::atomic<bool>& abort)
{
    struct Ranked {
        uint64_t brightness;
        Exposure exposure;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(exposures.size());
    for (Exposure& e : exposures) {
        uint64_t brightness = 0;
        if (!sampledBrightness(*e.image8, brightness) || abort)
            return false;
        ranked.push_back({brightness, std::move(e)});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked& a, const Ranked& b) { return a.brightness < b.brightness; });
    for (std::size_t k = 0; k < ranked.size(); ++k)
        exposures[k] = std::move(ranked[k].exposure);
    return !abort;
}

// The blending weight of each exposure per 8-bit level: the identity for the
// darkest, and for every brighter one the distance between a level and the
// darker neighbour's level at the same places. Releases the 8-bit images.
bool buildLevelMaps(std::vector<Exposure>& exposures, std::vector<LevelMap>& maps, const std::atomic<bool>& abort)
{
    const int width = exposures[0].image8->width();
    const int height = exposures[0].image8->height();
    maps.assign(exposures.size(), LevelMap{});
    for (std::size_t k = 1; k < exposures.size(); ++k) {
        if (abort || !estimateLevelMap(*exposures[k].image8, *exposures[k - 1].image8, width, height, maps[k]))
            return false;
    }
    for (int j = 0; j < kLevelCount; ++j)
        maps[0][j] = j;
    for (std::size_t k = 1; k < maps.size(); ++k)
        for (int j = 0; j < kLevelCount; ++j)
            maps[k][j] = std::abs(j - maps[k][j]);
    for (Exposure& e : exposures)
        e.image8.reset();
    return true;
}

// Runs both passes over every row into `acc` (3 values per pixel) and
// returns the largest blended value in `largest`. False on abort or a failed lock.
bool blend(std::vector<Exposure>& exposures, const std::vector<LevelMap>& maps, uint32_t* acc,
           ImageIoContext& ctx, const std::atomic<bool>& abort, uint32_t& largest)
{
    const int count = static_cast<int>(exposures.size());
    std::deque<BitmapLock> locks;
    for (Exposure& e : exposures) {
        if (!locks.emplace_back(*e.image16).owns())
            return false;
    }

    const int width = exposures[0].image16->width();
    const int height = exposures[0].image16->height();
    const ExposureBlender blender{width, count, 32767.0 / count, maps.data()};
    const int64_t start = count * 100 / (count + 1);
    const int64_t end = (count * 100 + 100) / (count + 1);
    ctx.percent.store(static_cast<int>(start), std::memory_order_relaxed);

    const int workers = std::clamp(ctx.workerCount, 1, height);
    std::vector<const uint16_t*> rowScratch(static_cast<std::size_t>(workers) * count);
    std::atomic<int> rowsDone{0};
    std::atomic<uint32_t> largestSoFar{0};
    const bool done = forEachRowParallel(height, workers, [&](int worker, int y) {
        const int64_t finished = rowsDone.load(std::memory_order_relaxed);
        raiseTo(ctx.percent, static_cast<int>(start + ((finished * 100 / height) * (end - start)) / 100));
        const uint16_t** rows = rowScratch.data() + static_cast<std::size_t>(worker) * count;
        for (int k = 0; k < count; ++k)
            rows[k] = exposures[k].image16->row16(y);
        uint32_t* accRow = acc + static_cast<std::size_t>(y) * 3 * width;
        blender.blendLevels(rows, accRow);
        if (abort)
            return false;
        raiseTo(largestSoFar, blender.blendColour(rows, accRow));
        rowsDone.fetch_add(1, std::memory_order_relaxed);
        return !abort;
    });
    largest = largestSoFar.load();
    return done;
}

// The merged pair: every value of `acc` times 65535 / largest, truncated,
// and its 8-bit twin; all black when everything blended to 0.
bool normalise(const uint32_t* acc, uint32_t largest, int workers, const std::atomic<bool>& abort, Exposure& merged)
{
    Bitmap& image8 = *merged.image8;
    Bitmap& image16 = *merged.image16;
    const int width = image16.width();
    const double factor = largest == 0 ? 0.0 : kWhite / largest;
    const auto scaleRow = exposureBlendLoops().scale;
    return forEachRowParallel(image16.height(), workers, [&](int, int y) {
        const uint32_t* in = acc + static_cast<std::size_t>(y) * 3 * width;
        scaleRow(in, 3 * width, factor, image16.row16(y), image8.row(y));
        return !abort;
    });
}

}  // namespace

bool sampledBrightness(Bitmap& image8, uint64_t& sum)
{
    BitmapLock lock(image8);
    if (!lock.owns())
        return false;
    sum = 0;
    for (int y = 0; y < image8.height(); y += kBrightnessStep) {
        const uint8_t* row = image8.row(y);
        for (int x = 0; x < image8.width(); x += kBrightnessStep)
            sum += row[3 * x] + row[3 * x + 1] + row[3 * x + 2];
    }
    return true;
}

bool sameFormat(const Exposure& a, const Exposure& b)
{
    return a.image16 && b.image16 && a.image16->width() == b.image16->width() &&
           a.image16->height() == b.image16->height() && a.bitDepth == b.bitDepth;
}

bool mergeDecodedExposures(std::vector<Exposure> exposures, ImageIoContext& ctx, const std::atomic<bool>& abort,
                           Exposure& merged)
{
    if (exposures.size() < 2 || !std::all_of(exposures.begin(), exposures.end(), wellFormed))
        return false;
    for (std::size_t k = 1; k < exposures.size(); ++k) {
        if (!sameFormat(exposures[k], exposures[k - 1])) {
            ctx.errorText = kMergeMismatchText;
            return false;
        }
    }
    const int width = exposures[0].image16->width();
    const int height = exposures[0].image16->height();
    const int bitDepth = exposures[0].bitDepth;

    std::vector<LevelMap> maps;
    if (!orderByBrightness(exposures, abort) || !buildLevelMaps(exposures, maps, abort))
        return false;

    const std::size_t values = static_cast<std::size_t>(width) * height * 3;
    std::unique_ptr<uint32_t[]> acc(new (std::nothrow) uint32_t[values]);
    if (!acc) {
        ctx.errorText = outOfMemoryText();
        return false;
    }
    uint32_t largest = 0;
    if (!blend(exposures, maps, acc.get(), ctx, abort, largest))
        return false;
    exposures.clear();

    Exposure result;
    result.image8 = Bitmap::create(width, height, PixelFormat::Bgr24);
    result.image16 = Bitmap::create(width, height, PixelFormat::Bgr48);
    result.bitDepth = bitDepth;
    if (!result.image8 || !result.image16) {
        ctx.errorText = outOfMemoryText();
        return false;
    }
    if (!normalise(acc.get(), largest, ctx.workerCount, abort, result) || abort)
        return false;
    merged = std::move(result);
    return true;
}

}  // namespace qv
