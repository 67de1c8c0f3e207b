#include "engine/stages/smoothing/smoothing_spike.h"

#include <algorithm>

#include "engine/kernels/simd.h"

namespace qv {

namespace {

// The neighbours in ring order, clockwise from the top left.
constexpr int kRingDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
constexpr int kRingDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};

uint32_t absDiff(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

// The spike test of a pixel of value c with neighbours n[0..m-1] (those
// inside the image, in ring order; ringPos[k] is the ring position of n[k]).
uint16_t spikeTest(const uint32_t* n, const int* ringPos, int m, uint32_t c, const SpikeRule& rule)
{
    if (m < 2)
        return static_cast<uint16_t>(c);
    // The brightest and the darkest neighbour (first of equals) are
    // remembered by twice their ring position; -1 when no neighbour beat
    // the start value.
    uint32_t highest = 0, lowest = 65535;
    int highestCode = -1, lowestCode = -1;
    for (int k = 0; k < m; ++k) {
        if (n[k] > highest) {
            highest = n[k];
            highestCode = 2 * ringPos[k];
        }
        if (n[k] < lowest) {
            lowest = n[k];
            lowestCode = 2 * ringPos[k];
        }
    }

    // A large step between neighbours (other than at the remembered codes,
    // compared with the list index) marks a rough ring, which is left alone.
    uint32_t g = 0, sum = 0;
    for (int k = 1; k < m; ++k) {
        const uint32_t jump = absDiff(n[k], n[k - 1]);
        g = std::max(g, jump);
        if (k != highestCode && k != lowestCode && jump > rule.jumpLimit)
            return static_cast<uint16_t>(c);
        sum += n[k];
    }
    const uint32_t mean = sum / static_cast<uint32_t>(m - 1);
    if (absDiff(c, mean) <= g >> rule.outlierShift)
        return static_cast<uint16_t>(c);
    if (m - 1 < 2)
        return static_cast<uint16_t>(mean);

    // Keep the pixel when enough neighbours on its side of the mean are like it.
    const uint32_t close = g >> rule.closeShift;
    int like = 0;
    for (int k = 1; k <= m - 2; ++k) {
        const bool sameSide = c < mean ? n[k] <= mean : n[k] >= mean;
        if (sameSide && absDiff(n[k], c) <= close)
            ++like;
    }
    return static_cast<uint16_t>(like <= rule.maxLikeNeighbours ? mean : c);
}

constexpr int kFullRing[8] = {0, 1, 2, 3, 4, 5, 6, 7};

// A pixel on the image border: only the neighbours inside the image count.
uint16_t spikeTestAt(const uint16_t* in, int width, int height, int x, int y, const SpikeRule& rule)
{
    uint32_t n[8];
    int ringPos[8];
    int m = 0;
    for (int pos = 0; pos < 8; ++pos) {
        const int nx = x + kRingDx[pos], ny = y + kRingDy[pos];
        if (nx < 0 || nx >= width || ny < 0 || ny >= height)
            continue;
        n[m] = in[static_cast<std::size_t>(ny) * width + nx];
        ringPos[m++] = pos;
    }
    return spikeTest(n, ringPos, m, in[static_cast<std::size_t>(y) * width + x], rule);
}

}  // namespace

SpikeBlockFn spikeBlockFilter() { return pickKernel<SpikeBlockFn>(nullptr, QV_AVX2_TWIN(spikeFilterInteriorAvx2)); }

void spikeFilterRow(const uint16_t* in, int width, int height, int y, const SpikeRule& rule, SpikeBlockFn blocks,
                    uint16_t* out)
{
    int x = 0;
    if (blocks && y > 0 && y < height - 1 && width >= 18) {
        // Pixels 1 .. width-2 have all eight neighbours; the vector test
        // takes them 16 at a time, the last block overlapping the one before.
        out[0] = spikeTestAt(in, width, height, 0, y, rule);
        for (x = 1; x + 16 <= width - 1; x += 16)
            blocks(in, width, x, y, rule, out);
        blocks(in, width, width - 17, y, rule, out);
        x = width - 1;
    }
    for (; x < width; ++x)
        out[x] = spikeTestAt(in, width, height, x, y, rule);
}

}  // namespace qv
