#include "engine/stages/detail/long_spreading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/kernels/simd.h"

// The block search is built for x86-64 alone, with the other vector loops.
#ifdef QV_X86_SIMD

namespace qv {
namespace {

// Luminance patterns where spreads of long reach run them whole, stop
// together at one edge, stop one by one, or stop on the band's edge: flat,
// plateaus, spikes, a ramp, noise, and values exactly on or one past the
// band around the ends of the range.
std::vector<uint16_t> lumaPattern(int pattern, int length, int tolerance, std::mt19937& rng)
{
    std::vector<uint16_t> luma(length);
    int level = 30000;
    const int edges[] = {-tolerance - 1, -tolerance, tolerance, tolerance + 1};
    for (int i = 0; i < length; ++i) {
        int l = 30000;
        switch (pattern) {
        case 0: break;
        case 1:
            if (rng() % 90 == 0)
                level = std::clamp(level + int(rng() % (4 * tolerance + 1)) - 2 * tolerance, 0, 65535);
            l = level;
            break;
        case 2: l = rng() % 61 == 0 ? 30000 + 2 * tolerance : 30000; break;
        case 3: l = 10000 + i * tolerance / 40; break;
        case 4: l = 30000 + int(rng() % (3 * tolerance + 1)); break;
        case 5: l = (i / 50) % 2 ? 65535 : 0; break;
        default: l = (pattern == 6 ? 0 : 65535) + edges[rng() % 4]; break;
        }
        luma[i] = uint16_t(std::clamp(l, 0, 65535));
    }
    return luma;
}

// The block searches this processor runs, widest last.
std::vector<LineSpreadFn> blockSearches()
{
    std::vector<LineSpreadFn> searches;
    if (avx2Enabled())
        searches.push_back(spreadLongLineAvx2);
    if (avx512Enabled())
        searches.push_back(spreadLongLineAvx512);
    return searches;
}

// The block search against the literal walk: lines that end anywhere in a
// block, reaches from none to longer than the line, either direction the
// longer, tolerances from 1 to past the whole range; the spread values on
// the luminance or wandering around it, so that neighbouring bands differ.
// One scratch serves every line, longest first, as a worker uses it.
TEST(BlockSearch, MatchesTheLiteralSpreading)
{
    const std::vector<LineSpreadFn> searches = blockSearches();
    if (searches.empty())
        GTEST_SKIP() << "the block search needs AVX2";
    std::mt19937 rng(23);
    const int lengths[] = {1501, 1000, 257, 96, 65, 64, 63, 33, 32, 31, 2, 1};
    SpreadScratch scratch;
    ASSERT_TRUE(scratch.reserve(lengths[0], 2000));
    for (int length : lengths)
        for (int tolerance : {1, 4352, 32767, 65535, 65536})
            for (int pattern = 0; pattern < 8; ++pattern) {
                const std::vector<uint16_t> luma = lumaPattern(pattern, length, tolerance, rng);
                for (int wander : {0, tolerance / 2 + 1}) {
                    std::vector<uint16_t> values(length);
                    for (int i = 0; i < length; ++i)
                        values[i] = uint16_t(std::clamp(int(luma[i]) + int(rng() % (2 * wander + 1)) - wander, 0, 65535));
                    const SpreadLine line{luma.data(), values.data(), length};
                    for (SpreadReach reach : {SpreadReach{0, 1}, SpreadReach{60, 0}, SpreadReach{7, 60},
                                              SpreadReach{32, 32}, SpreadReach{48, 49}, SpreadReach{181, 182},
                                              SpreadReach{97, 64}, SpreadReach{400, 361}, SpreadReach{2000, 2000}}) {
                        ASSERT_TRUE(blockSearchTakes(reach));
                        std::vector<uint32_t> literal(2 * length), searched(2 * length);
                        spreadLineLiteral(line, reach, tolerance, scratch, literal.data());
                        for (LineSpreadFn search : searches) {
                            search(line, reach, tolerance, scratch, searched.data());
                            ASSERT_EQ(searched, literal)
                                << "length " << length << " tolerance " << tolerance << " pattern " << pattern
                                << " wander " << wander << " reach " << reach.back << "/" << reach.forward
                                << (search == spreadLongLineAvx2 ? " (AVX2)" : " (AVX-512)");
                        }
                    }
                }
            }
}

// Positions are kept in 16 bits from each block's start: the first blocks
// of a line longer than 2^16 pixels must not see its end where those bits
// wrap around.
TEST(BlockSearch, LinesLongerThanSixteenBitPositions)
{
    std::mt19937 rng(7);
    const int length = 65536 + kSearchBlock;
    SpreadScratch scratch;
    ASSERT_TRUE(scratch.reserve(length, 100));
    for (int pattern : {4, 5}) {
        const std::vector<uint16_t> luma = lumaPattern(pattern, length, 4352, rng);
        const SpreadLine line{luma.data(), luma.data(), length};
        std::vector<uint32_t> literal(2 * length), searched(2 * length);
        spreadLineLiteral(line, {100, 100}, 4352, scratch, literal.data());
        for (LineSpreadFn search : blockSearches()) {
            search(line, {100, 100}, 4352, scratch, searched.data());
            ASSERT_EQ(searched, literal) << "pattern " << pattern;
        }
    }
}

}  // namespace
}  // namespace qv

#endif  // QV_X86_SIMD
