#include "engine/stages/detail/short_spreading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "engine/kernels/pair_means.h"
#include "support/simd_switch.h"

namespace qv {
namespace {

// Lines built to push the walk of short reaches to its limits:
// spreads that all run to their reach, spreads that all stop at once with
// pulled values at both ends of the range, luminance exactly on and one
// past the band edges, at saturating levels 0 and 65535.
std::vector<std::pair<std::vector<uint16_t>, std::vector<uint16_t>>> adversarialLines(int length, int tolerance,
                                                                                     std::mt19937& rng)
{
    std::vector<std::pair<std::vector<uint16_t>, std::vector<uint16_t>>> lines;
    auto add = [&](auto lumaAt, auto valueAt) {
        std::vector<uint16_t> luma(length);
        std::vector<uint16_t> values(length);
        for (int i = 0; i < length; ++i) {
            luma[i] = uint16_t(std::clamp(lumaAt(i), 0, 65535));
            values[i] = uint16_t(std::clamp(valueAt(i), 0, 65535));
        }
        lines.emplace_back(std::move(luma), std::move(values));
    };
    for (int level : {0, 32768, 65535})
        add([&](int) { return level; }, [&](int) { return level; });  // every spread runs to its reach
    add([](int) { return 65535; }, [](int) { return 0; });            // every spread stops at once, pulled down
    add([](int) { return 0; }, [](int) { return 65535; });            // pulled up
    add([](int i) { return i % 2 ? 65535 : 0; }, [](int i) { return i % 2 ? 0 : 65535; });
    // Luminance on the band edge (inside) or one past it (a stop), around
    // values at the ends and the middle of the range.
    const int edges[] = {-tolerance - 1, -tolerance, tolerance, tolerance + 1};
    for (int value : {0, 65535, 40000}) {
        add([&](int i) { return value + edges[i % 4]; }, [&](int) { return value; });
        add([&](int) { return value + edges[rng() % 4]; }, [&](int) { return value; });
    }
    return lines;
}

TEST(ShortSpreading, MatchesTheLiteralWalkOnAdversarialLines)
{
    std::mt19937 rng(11);
    const int reaches[] = {0, 1, 2, 15, 16, 17, 33, kShortReach, kShortReach + 1, kShortReachAvx512,
                           kShortReachAvx512 + 1};
    std::vector<int> lengths = {100, 65, 64, 47};
    for (int length = 41; length >= 1; --length)
        lengths.push_back(length);
    // One scratch for every line, as a worker uses it, longer lines first:
    // what one line leaves behind, also past the next one's end, must not
    // reach the next.
    SpreadScratch scratch;
    ASSERT_TRUE(scratch.reserve(100, kShortReachAvx512 + 1));
    for (int tolerance : {1, 8192})
        for (int length : lengths)
            for (const auto& [luma, values] : adversarialLines(length, tolerance, rng))
                for (int back : reaches)
                    for (int forward : reaches) {
                        const SpreadLine line{luma.data(), values.data(), length};
                        const SpreadReach reach{back, forward};
                        std::vector<uint32_t> literal(2 * length), fast(2 * length);
                        spreadLineLiteral(line, reach, tolerance, scratch, literal.data());
                        for (SimdLevel level : test::kEverySimdLevel) {
                            const LineSpreadFn spread = test::pickedWith(level, fastLineSpreading);
                            spread(line, reach, tolerance, scratch, fast.data());
                            ASSERT_EQ(fast, literal) << "length " << length << " tolerance " << tolerance
                                                     << " reach " << back << "/" << forward << " simd level "
                                                     << static_cast<int>(level) << " first luma " << luma[0]
                                                     << " value " << values[0];
                        }
                    }
}

// On a flat line the middle pixels are reached by the most spreads each
// walk allows: back + forward of them, each adding the full level.
TEST(ShortSpreading, FlatLineFillsTheLargestCounts)
{
    const int length = 2 * kShortReachAvx512 + 40;
    const std::vector<uint16_t> luma(length, 65535);
    const std::vector<uint16_t> values(length, 65535);
    SpreadScratch scratch;
    ASSERT_TRUE(scratch.reserve(length, kShortReachAvx512));
    for (SimdLevel level : test::kEverySimdLevel)
        for (const int reach : {kShortReach, kShortReachAvx512}) {
            std::vector<uint32_t> pairs(2 * length);
            const LineSpreadFn spread = test::pickedWith(level, fastLineSpreading);
            spread({luma.data(), values.data(), length}, {reach, reach}, 1, scratch, pairs.data());
            for (int x = reach; x < length - reach; ++x) {
                ASSERT_EQ(pairs[2 * x + 1], 2u * reach) << x;
                ASSERT_EQ(pairs[2 * x], 2u * reach * 65535) << x;
            }
        }
}

// Every pixel of a flat line receives, from every spread within reach, a
// value a whole tolerance above (or below) its luminance: the most the
// walk's 16-bit offsets can add up to between two flushes. For each number
// of steps, the tolerances are the largest whose sum over those steps fits
// 16 signed bits and the smallest whose sum does not (for one step, the
// first past the walk's limit, which only the search may take).
TEST(ShortSpreading, OffsetsOfAWholeToleranceAddUpExactly)
{
    const int length = 2 * kShortReachAvx512 + 20;
    const int reach = kShortReachAvx512;
    SpreadScratch scratch;
    ASSERT_TRUE(scratch.reserve(length, reach));
    std::vector<int> tolerances;
    for (int steps = 1; steps <= reach; ++steps)
        for (int past : {0, 1})
            tolerances.push_back(std::numeric_limits<int16_t>::max() / steps + past);
    for (SimdLevel simd : test::kEverySimdLevel) {
        const LineSpreadFn spread = test::pickedWith(simd, fastLineSpreading);
        for (int tolerance : tolerances)
            for (int offset : {tolerance, -tolerance}) {
                // The band reaches 65535 or 0 exactly.
                const int level = offset > 0 ? 65535 - tolerance : tolerance;
                const std::vector<uint16_t> luma(length, uint16_t(level));
                const std::vector<uint16_t> values(length, uint16_t(level + offset));
                std::vector<uint32_t> pairs(2 * length);
                spread({luma.data(), values.data(), length}, {reach, reach}, tolerance, scratch, pairs.data());
                for (int x = 0; x < length; ++x) {
                    const uint32_t count = std::min(x + 1, reach) + std::min(length - 1 - x, reach);
                    ASSERT_EQ(pairs[2 * x + 1], count) << "tolerance " << tolerance << " x " << x;
                    ASSERT_EQ(pairs[2 * x], count * uint32_t(level + offset))
                        << "tolerance " << tolerance << " offset " << offset << " x " << x;
                }
            }
    }
}

// The strip walk against the literal spreading of each column and the exact
// means of its pairs: strips of 1 to 32 columns inside a wider plane, the
// luminance given strip after strip (as the stage copies it) or in the
// plane itself. Every other column spreads values that vary within the
// tolerance, over a flat luminance (every spread runs its whole reach) or
// a noisy one (spreads stop anywhere), so that its means tell which spreads
// arrived; the others are adversarial lines or flat ones whose values lie
// a whole tolerance off (the largest sums the walk keeps). Nothing outside
// the strip may change.
TEST(StripSpreading, MatchesTheLiteralSpreadingOfEveryColumn)
{
    if (!fastStripSpreading())
        GTEST_SKIP() << "the strip walk needs AVX2";
    std::mt19937 rng(5);
    const SpreadReach reaches[] = {{1, 1},
                                   {2, 1},
                                   {1, 2},
                                   {16, 17},
                                   {kShortReach - 1, kShortReach},
                                   {kShortReach, kShortReach},
                                   {40, 41},
                                   {kShortReachAvx512 - 1, kShortReachAvx512},
                                   {kShortReachAvx512, kShortReachAvx512}};
    StripScratch scratch;
    ASSERT_TRUE(scratch.reserve(130));
    SpreadScratch unused;
    // Each vector width in turn where the processor has it (a level it
    // lacks runs the narrower walk again).
    for (SimdLevel widest : {SimdLevel::Avx2, SimdLevel::Avx512}) {
        const test::SimdSwitch simd(widest);
        const StripSpreadFn walk = fastStripSpreading();
        for (int rows : {130, 113, 64, 17, 2, 1})
            for (int tolerance : {1, 8192, kShortTolerance})
                for (int columns : {32, 19, 1}) {
                    auto lines = adversarialLines(rows, tolerance, rng);
                    for (int offset : {tolerance, -tolerance}) {
                        const int level = offset > 0 ? 65535 - tolerance : tolerance;
                        lines.emplace_back(std::vector<uint16_t>(rows, uint16_t(level)),
                                           std::vector<uint16_t>(rows, uint16_t(level + offset)));
                    }
                    const int width = columns + 3;
                    std::vector<uint16_t> luma(rows * width), values(rows * width, 12345), stripLuma(rows * columns);
                    std::uniform_int_distribution<int> within(-tolerance, tolerance);
                    for (int j = 0; j < columns; ++j) {
                        std::pair<std::vector<uint16_t>, std::vector<uint16_t>> varied{std::vector<uint16_t>(rows),
                                                                                       std::vector<uint16_t>(rows)};
                        for (int y = 0; y < rows; ++y) {
                            const int level = 32768 + (j % 4 == 2 ? within(rng) : 0);
                            varied.first[y] = uint16_t(level);
                            varied.second[y] = uint16_t(std::clamp(level + within(rng), 0, 65535));
                        }
                        const auto& [l, v] = j % 2 == 0 ? varied : lines[rng() % lines.size()];
                        for (int y = 0; y < rows; ++y) {
                            luma[y * width + 1 + j] = stripLuma[y * columns + j] = l[y];
                            values[y * width + 1 + j] = v[y];
                        }
                    }
                    for (SpreadReach reach : reaches) {
                        if (!stripSpreadingTakes(reach, tolerance))
                            continue;
                        std::vector<uint16_t> expected = values;
                        for (int j = 0; j < columns; ++j) {
                            std::vector<uint16_t> lumaLine(rows), valueLine(rows), means(rows);
                            for (int y = 0; y < rows; ++y) {
                                lumaLine[y] = luma[y * width + 1 + j];
                                valueLine[y] = values[y * width + 1 + j];
                            }
                            std::vector<uint32_t> pairs(2 * rows);
                            spreadLineLiteral({lumaLine.data(), valueLine.data(), rows}, reach, tolerance, unused,
                                              pairs.data());
                            meansOfPairsPlain(pairs.data(), means.data(), rows);
                            for (int y = 0; y < rows; ++y)
                                expected[y * width + 1 + j] = means[y];
                        }
                        for (bool stripMajor : {true, false}) {
                            std::vector<uint16_t> walked = values;
                            walk({stripMajor ? stripLuma.data() : luma.data() + 1,
                                  std::size_t(stripMajor ? columns : width), walked.data() + 1, std::size_t(width),
                                  rows, columns},
                                 reach, tolerance, scratch);
                            ASSERT_EQ(walked, expected) << rows << " rows, " << columns << " columns, tolerance "
                                                        << tolerance << ", reach " << reach.back << "/" << reach.forward
                                                        << (stripMajor ? ", luminance strip after strip" : "")
                                                        << (avx512Enabled() ? " (AVX-512)" : " (AVX2)");
                        }
                    }
                }
    }
}

}  // namespace
}  // namespace qv
