#include "engine/pipeline/stage_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

#include "engine/pipeline/processing_context.h"

namespace qv {
namespace {

std::vector<int> bandHeights(const std::vector<Band>& bands)
{
    std::vector<int> heights;
    for (const Band& b : bands)
        heights.push_back(b.endRow - b.firstRow);
    return heights;
}

TEST(StageRunner, BandsCoverTheImageInCeilingSteps)
{
    EXPECT_EQ(bandHeights(splitBands(100, 3)), (std::vector<int>{34, 34, 32}));
    EXPECT_EQ(bandHeights(splitBands(20, 3)), (std::vector<int>{8, 8, 4}));
    EXPECT_EQ(bandHeights(splitBands(20, 20)), (std::vector<int>{8, 8, 4}));
    EXPECT_EQ(bandHeights(splitBands(7, 4)), (std::vector<int>{7}));
    EXPECT_EQ(bandHeights(splitBands(1, 20)), (std::vector<int>{1}));
    EXPECT_TRUE(splitBands(0, 3).empty());
    // The queued scheme: three bands per worker, at least 16 rows each.
    EXPECT_EQ(bandHeights(splitQueuedBands(100, 4)), (std::vector<int>{16, 16, 16, 16, 16, 16, 4}));
    EXPECT_EQ(splitQueuedBands(1000, 4).size(), 12u);
    EXPECT_EQ(splitQueuedBands(1000, 4).back().endRow, 1000);
}

struct CountingItem : WorkItem {
    std::vector<int>* rowsSeen = nullptr;
};

TEST(StageRunner, RunsEveryBandAndCombinesExitCodes)
{
    ProcessingContext ctx;
    ctx.workerCount = 3;
    std::atomic<bool> abort{false};
    std::vector<int> rows(100, 0);
    auto items = makeWorkItems<CountingItem>(splitBands(100, ctx.workerCount), 10, 100, ctx.valueScale);
    for (auto& item : items)
        item.rowsSeen = &rows;
    auto worker = [](CountingItem& item) {
        for (int y = item.firstRow; y < item.endRow; ++y) {
            ++(*item.rowsSeen)[y];
            if (!item.tick())
                return false;
        }
        return true;
    };
    StageOptions options{.statusCode = StatusCode::Detail, .totalWork = 100};
    EXPECT_TRUE(runStage(ctx, abort, items, options, worker));
    EXPECT_EQ(rows, std::vector<int>(100, 1));
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::Detail);

    // One failing band fails the stage.
    EXPECT_FALSE(runStage(ctx, abort, items, options, [](CountingItem& item) { return item.index != 1; }));
}

// A stage that began with its own status keeps it through a run whose
// options name none, with the percentage started from 0.
TEST(StageRunner, BegunStageKeepsItsStatus)
{
    ProcessingContext ctx;
    std::atomic<bool> abort{false};
    ctx.percent = 70;
    beginStage(ctx, StatusCode::Softening);
    EXPECT_EQ(ctx.percent.load(), 0);
    auto items = makeWorkItems<CountingItem>(splitBands(20, 2), 4, 20, ctx.valueScale);
    EXPECT_TRUE(runStage(ctx, abort, items, StageOptions{.totalWork = 20}, [](CountingItem&) { return true; }));
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::Softening);
}

// Each pass reads what every band wrote in the previous pass, so a barrier
// that let one band run ahead would be seen.
TEST(StageRunner, PassesAdvanceInLockStep)
{
    for (int workers : {1, 3, 20}) {
        ProcessingContext ctx;
        ctx.workerCount = workers;
        std::atomic<bool> abort{false};
        const int height = 173;
        std::vector<std::atomic<int>> pass(height);
        auto items = makeWorkItems<WorkItem>(splitBands(height, workers), 1, height, 65536);
        std::atomic<int> inconsistencies{0};
        auto worker = [&](WorkItem& item) {
            for (int p = 1; p <= 40; ++p) {
                for (int y = item.firstRow; y < item.endRow; ++y)
                    pass[y].store(p);
                if (!item.passDone())
                    return false;
                for (int y = 0; y < height; ++y)
                    if (pass[y].load() != p)
                        ++inconsistencies;
                if (!item.passDone())
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Detail}, worker)) << workers;
        EXPECT_EQ(inconsistencies.load(), 0) << workers;
    }
}

TEST(StageRunner, AbortReleasesWorkersWaitingAtTheBarrier)
{
    ProcessingContext ctx;
    ctx.workerCount = 3;
    std::atomic<bool> abort{false};
    auto items = makeWorkItems<WorkItem>(splitBands(60, 3), 1, 60, 65536);
    // The others wait at the barrier when the abort comes; nobody fails on
    // its own, so only the runner's watch of the abort flag can free them.
    std::atomic<int> released{0};
    auto worker = [&](WorkItem& item) {
        if (item.index == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            abort.store(true);
        }
        const bool passed = item.passDone();
        ++released;
        return passed;
    };
    EXPECT_FALSE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Region}, worker));
    EXPECT_EQ(released.load(), 3);
}

TEST(StageRunner, FailingWorkerReleasesTheOthersAtTheBarrier)
{
    ProcessingContext ctx;
    ctx.workerCount = 4;
    std::atomic<bool> abort{false};
    auto items = makeWorkItems<WorkItem>(splitBands(64, 4), 1, 64, 65536);
    auto worker = [](WorkItem& item) { return item.index != 2 && item.passDone(); };
    EXPECT_FALSE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Region}, worker));
    EXPECT_FALSE(abort.load());
}

TEST(StageRunner, ThrowingWorkerFailsTheStageAndReleasesTheOthers)
{
    ProcessingContext ctx;
    ctx.workerCount = 3;
    std::atomic<bool> abort{false};
    auto items = makeWorkItems<WorkItem>(splitBands(60, 3), 1, 60, 65536);
    auto worker = [](WorkItem& item) -> bool {
        if (item.index == 1)
            throw std::bad_alloc();
        return item.passDone();
    };
    EXPECT_FALSE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Region}, worker));
}

TEST(StageRunner, QueuedItemsRunAtMostWorkerCountAtOnce)
{
    ProcessingContext ctx;
    ctx.workerCount = 2;
    std::atomic<bool> abort{false};
    auto items = makeWorkItems<WorkItem>(splitQueuedBands(200, 2), 1, 200, 65536);
    ASSERT_EQ(items.size(), 6u);
    std::atomic<int> running{0}, peak{0}, done{0};
    auto worker = [&](WorkItem&) {
        const int now = ++running;
        for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);)
            ;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --running;
        ++done;
        return true;
    };
    EXPECT_TRUE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Smoothing, .queued = true}, worker));
    EXPECT_EQ(done.load(), 6);
    EXPECT_LE(peak.load(), 2);

    // A worker count below one still runs the queue, one item at a time.
    ctx.workerCount = 0;
    done = 0;
    peak = 0;
    EXPECT_TRUE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Smoothing, .queued = true}, worker));
    EXPECT_EQ(done.load(), 6);
    EXPECT_EQ(peak.load(), 1);

    // Aborted before the queue is through: the items never run count as failed.
    abort.store(true);
    EXPECT_FALSE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Smoothing, .queued = true}, worker));
}

TEST(StageRunner, PublishesThePercentageOfWorkDone)
{
    ProcessingContext ctx;
    ctx.workerCount = 1;
    std::atomic<bool> abort{false};
    auto items = makeWorkItems<WorkItem>(splitBands(10, 1), 1, 10, 65536);
    std::atomic<int> seen{-1};
    auto worker = [&](WorkItem& item) {
        item.tick(30);
        // Wait for the runner's next poll to publish 30 of 40 units.
        for (int i = 0; i < 500 && ctx.percent.load() != 75; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = ctx.percent.load();
        item.tick(90);
        for (int i = 0; i < 500 && ctx.percent.load() != 100; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    EXPECT_TRUE(runStage(ctx, abort, items, StageOptions{.statusCode = StatusCode::Detail, .totalWork = 40, .capAt100 = true}, worker));
    EXPECT_EQ(seen.load(), 75);
    EXPECT_EQ(ctx.percent.load(), 100);  // 300 % capped
}

}  // namespace
}  // namespace qv
