#include "imageio/parallel_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace qv {
namespace {

// Merging and resampling rely on every row being done exactly once, by a
// worker whose number indexes their per-thread scratch, for any worker count.
TEST(ParallelRows, DoesEveryRowOnceOnWorkersInRange)
{
    for (int rows : {0, 1, 7, 1000}) {
        for (int workers : {0, 1, 3, 50}) {
            std::vector<std::atomic<int>> calls(rows);
            std::atomic<bool> outOfRange{false};
            const int threads = std::clamp(workers, 1, std::max(rows, 1));
            EXPECT_TRUE(forEachRowParallel(rows, workers, [&](int worker, int row) {
                if (worker < 0 || worker >= threads)
                    outOfRange = true;
                calls[row].fetch_add(1);
                return true;
            }));
            EXPECT_FALSE(outOfRange) << rows << " rows, " << workers << " workers";
            for (const std::atomic<int>& c : calls)
                ASSERT_EQ(c.load(), 1) << rows << " rows, " << workers << " workers";
        }
    }
}

// A row that fails (an abort) is reported, and no further rows start.
TEST(ParallelRows, StopsStartingRowsAfterAFailure)
{
    std::atomic<int> started{0};
    EXPECT_FALSE(forEachRowParallel(100000, 4, [&](int, int row) {
        started.fetch_add(1);
        return row != 3;
    }));
    EXPECT_LT(started.load(), 100000);
}

// Rows raising a shared figure in any order leave the largest, never a
// later, smaller one.
TEST(ParallelRows, RaiseToKeepsTheLargestFigure)
{
    std::atomic<int> figure{5};
    EXPECT_TRUE(forEachRowParallel(1000, 4, [&](int, int row) {
        raiseTo(figure, (row * 7919) % 1000);
        return true;
    }));
    EXPECT_EQ(figure.load(), 999);
    raiseTo(figure, 3);
    EXPECT_EQ(figure.load(), 999);
}

}  // namespace
}  // namespace qv
