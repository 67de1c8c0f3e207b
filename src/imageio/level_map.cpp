#include "imageio/level_map.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv {

namespace {

constexpr int kSmoothingPasses = 16;
constexpr int kTapRadius = 3;
constexpr double kTaps[2 * kTapRadius + 1] = {0.05, 0.15, 0.4, 0.9, 0.4, 0.15, 0.05};
constexpr double kTapSum = 2.1;

bool fits(const Bitmap& b, int width, int height)
{
    return b.format() == PixelFormat::Bgr24 && width <= b.width() && height <= b.height();
}

// One pass of the seven-tap filter from `in` into `out`, edges repeated.
void smoothLevelsOnce(const double* in, double* out, int length)
{
    for (int j = 0; j < length; ++j) {
        double sum = 0.0;
        for (int t = -kTapRadius; t <= kTapRadius; ++t)
            sum += kTaps[t + kTapRadius] * in[std::clamp(j + t, 0, length - 1)];
        out[j] = sum / kTapSum;
    }
}

}  // namespace

bool estimateLevelMap(Bitmap& brighter, Bitmap& darker, int width, int height, LevelMap& map)
{
    if (width <= 0 || height <= 0 || !fits(brighter, width, height) || !fits(darker, width, height))
        return false;
    BitmapLock brighterLock(brighter);
    BitmapLock darkerLock(darker);
    if (!brighterLock.owns() || !darkerLock.owns())
        return false;

    // Per level a of the brighter exposure: sum of b * d^2 and of d^2, where b
    // is the darker sample and d = a - b when positive.
    std::array<int64_t, kLevelCount> weightedDarker{};
    std::array<int64_t, kLevelCount> weights{};
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = brighter.row(y);
        const uint8_t* b = darker.row(y);
        for (int x = 0; x < width; ++x) {
            const int64_t d = std::max(a[x] - b[x], 0);
            weightedDarker[a[x]] += b[x] * d * d;
            weights[a[x]] += d * d;
        }
    }
    for (int j = 0; j < kLevelCount; ++j) {
        const bool missing = weights[j] == 0 || (weightedDarker[j] == 0 && j > 0);
        map[j] = missing ? kMissingLevel
                         : static_cast<double>(weightedDarker[j]) / static_cast<double>(weights[j]);
    }
    smoothLevelMap(map.data(), kLevelCount);
    return true;
}

void fillMissingLevels(double* map, int length)
{
    int j = 0;
    while (j < length) {
        if (map[j] >= 0) {
            ++j;
            continue;
        }
        const double prev = j > 0 ? map[j - 1] : 0.0;
        int i = j;
        while (i < length && map[i] < 0)
            ++i;
        const double next = i < length ? map[i] : static_cast<double>(length);
        const int run = i - j;
        for (int m = 0; m < run; ++m)
            map[j + m] = prev + (next - prev) * m / run;
        j = i;
    }
}

void clampLevelsMonotone(double* map, int length)
{
    double limit = map[length - 1];
    for (int j = length - 2; j >= 0; --j) {
        if (map[j] > limit)
            map[j] = limit;
        else
            limit = map[j];
    }
}

void smoothLevelMap(double* map, int length)
{
    if (length <= 0)
        return;
    fillMissingLevels(map, length);
    clampLevelsMonotone(map, length);
    std::vector<double> previous(length);
    for (int pass = 0; pass < kSmoothingPasses; ++pass) {
        std::copy(map, map + length, previous.begin());
        smoothLevelsOnce(previous.data(), map, length);
    }
}

}  // namespace qv
