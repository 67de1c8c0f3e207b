#include "engine/kernels/range_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/simd_switch.h"

namespace qv {
namespace {

struct Offset {
    int dx;
    int dy;
};

// The scanner's rows against a direct search over each pixel's symmetric
// row spans, for random neighbourhoods, sizes, bands and column windows
// (the scanner sees only the window's columns).
TEST(RangeScanner, MatchesDirectSearch)
{
    std::mt19937 rng(11);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 23}, {23, 1}, {2, 5}, {16, 16}, {17, 9}, {40, 31}};
    for (auto [w, h] : sizes) {
        for (int round = 0; round < 12; ++round) {
            std::vector<Offset> offsets = {{0, 0}};
            const int count = 1 + static_cast<int>(rng() % 12);
            for (int i = 0; i < count; ++i)
                offsets.push_back({static_cast<int>(rng() % 15) - 7, static_cast<int>(rng() % 11) - 5});
            const RowSpans spans = RowSpans::of(std::span<const Offset>(offsets));

            std::vector<uint16_t> plane(static_cast<std::size_t>(w) * h);
            for (uint16_t& v : plane)
                v = static_cast<uint16_t>(round % 2 ? rng() % 65536 : 1000 + rng() % 50);

            const int first = static_cast<int>(rng() % h);
            const int end = first + 1 + static_cast<int>(rng() % (h - first));
            const bool whole = round % 3 == 0;
            const int left = whole ? 0 : static_cast<int>(rng() % w);
            const int right = whole ? w : left + 1 + static_cast<int>(rng() % (w - left));
            for (bool vector : {false, true}) {
                const test::SimdSwitch loops(vector);
                RangeScanner scanner;
                ASSERT_TRUE(scanner.init(spans, right - left, h, first, end));
                for (int y = first; y < end; ++y) {
                    scanner.advance(y, plane.data() + left, w);
                    for (int x = left; x < right; ++x) {
                        uint16_t lo = 0xFFFF, hi = 0;
                        for (int dy = spans.dyMin; dy <= spans.dyMax; ++dy) {
                            const int reach = spans.halfWidth[dy - spans.dyMin];
                            for (int dx = -reach; dx <= reach; ++dx) {
                                if (x + dx < left || x + dx >= right || y + dy < 0 || y + dy >= h)
                                    continue;
                                lo = std::min(lo, plane[(y + dy) * w + x + dx]);
                                hi = std::max(hi, plane[(y + dy) * w + x + dx]);
                            }
                        }
                        ASSERT_EQ(scanner.minRow()[x - left], lo) << w << "x" << h << " at " << x << "," << y;
                        ASSERT_EQ(scanner.maxRow()[x - left], hi) << w << "x" << h << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(RangeScanner, SpansAreSymmetricPerRow)
{
    const std::vector<Offset> offsets = {{0, 0}, {3, -2}, {-1, -2}, {0, 4}, {-5, 1}};
    const RowSpans spans = RowSpans::of(std::span<const Offset>(offsets));
    EXPECT_EQ(spans.dyMin, -2);
    EXPECT_EQ(spans.dyMax, 4);
    EXPECT_EQ(spans.halfWidth, (std::vector<int>{3, -1, 0, 5, -1, -1, 0}));
}

}  // namespace
}  // namespace qv
