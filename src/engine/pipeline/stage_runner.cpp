#include "engine/pipeline/stage_runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/pipeline/processing_context.h"

namespace qv {

std::vector<Band> splitBands(int height, int workers, int minRows)
{
    std::vector<Band> bands;
    if (height <= 0)
        return bands;
    workers = std::max(workers, 1);
    const int rows = std::max((height + workers - 1) / workers, minRows);
    for (int first = 0; first < height && static_cast<int>(bands.size()) < workers; first += rows)
        bands.push_back({first, std::min(first + rows, height)});
    return bands;
}

std::vector<Band> splitQueuedBands(int height, int workers)
{
    return splitBands(height, 3 * std::max(workers, 1), 16);
}

// Shared by the workers of one stage run: the abort flag, the stop signal
// of a failed worker, and the pass barrier.
class StageControl {
public:
    StageControl(const std::atomic<bool>& abort, int participants) : abort_(abort), participants_(participants) {}

    bool stopped() const { return abort_.load(std::memory_order_relaxed) || stopped_.load(std::memory_order_relaxed); }

    // Ends every wait at the barrier and makes later ones fail.
    void stop()
    {
        std::lock_guard lock(mutex_);
        stopped_.store(true, std::memory_order_relaxed);
        released_.notify_all();
    }

    // The last item to arrive releases the others at once; the generation
    // count makes sure no release is lost or taken by the wrong pass.
    bool arriveAndWait()
    {
        std::unique_lock lock(mutex_);
        if (stopped())
            return false;
        const uint64_t generation = generation_;
        if (++arrived_ == participants_) {
            arrived_ = 0;
            ++generation_;
            released_.notify_all();
            return true;
        }
        released_.wait(lock, [&] { return generation_ != generation || stopped(); });
        return generation_ != generation;
    }

    // Worker threads report their end here; the runner waits for all of them.
    void threadEnded()
    {
        std::lock_guard lock(mutex_);
        ++endedThreads_;
        ended_.notify_all();
    }

    // Waits up to `timeout` for `threads` ends; true when all have ended.
    bool waitForThreads(int threads, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        return ended_.wait_for(lock, timeout, [&] { return endedThreads_ == threads; });
    }

private:
    const std::atomic<bool>& abort_;
    std::atomic<bool> stopped_{false};
    const int participants_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::condition_variable ended_;
    int arrived_ = 0;
    uint64_t generation_ = 0;
    int endedThreads_ = 0;
};

bool WorkItem::tick(int units)
{
    std::atomic_ref<int>(progress).fetch_add(units, std::memory_order_relaxed);
    return !control->stopped();
}

bool WorkItem::stopped() const { return control->stopped(); }

bool WorkItem::passDone() { return control->arriveAndWait(); }

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(300);

int percentOf(std::span<WorkItem* const> items, const StageOptions& options)
{
    int64_t done = 0;
    for (WorkItem* item : items)
        done += std::atomic_ref<int>(item->progress).load(std::memory_order_relaxed);
    const int64_t percent = done * 100 / std::max<int64_t>(options.totalWork, 1);
    return static_cast<int>(options.capAt100 ? std::min<int64_t>(percent, 100) : percent);
}

}  // namespace

void beginStage(ProcessingContext& ctx, StatusCode code)
{
    ctx.statusCode.store(code, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
}

bool runWorkItems(ProcessingContext& ctx, const std::atomic<bool>& abort, std::span<WorkItem* const> items,
                  const StageOptions& options, const std::function<bool(int index)>& worker)
{
    if (options.statusCode != StatusCode::None)
        beginStage(ctx, options.statusCode);
    if (items.empty())
        return true;

    const int itemCount = static_cast<int>(items.size());
    StageControl control(abort, itemCount);
    for (WorkItem* item : items) {
        item->control = &control;
        item->progress = 0;
    }

    // Each thread runs items until none is left: one item per thread in the
    // plain scheme, items in turn in the queued one.
    const int threadCount = options.queued ? std::clamp(ctx.workerCount, 1, itemCount) : itemCount;
    std::vector<char> succeeded(items.size(), 0);
    std::atomic<int> nextItem{0};
    // A worker that throws (out of memory, say) fails like one returning
    // false, instead of ending the program.
    auto runItem = [&](int i) {
        try {
            return worker(i);
        } catch (...) {
            return false;
        }
    };
    auto threadMain = [&] {
        for (int i; !control.stopped() && (i = nextItem.fetch_add(1)) < itemCount;) {
            succeeded[i] = runItem(i) ? 1 : 0;
            if (!succeeded[i])
                control.stop();
        }
        control.threadEnded();
    };

    std::vector<std::thread> threads;
    threads.reserve(threadCount);
    try {
        for (int t = 0; t < threadCount; ++t)
            threads.emplace_back(threadMain);
    } catch (const std::system_error&) {
        control.stop();
    }
    const int started = static_cast<int>(threads.size());

    while (!control.waitForThreads(started, kPollInterval)) {
        ctx.percent.store(percentOf(items, options), std::memory_order_relaxed);
        if (abort.load(std::memory_order_relaxed))
            control.stop();
    }
    for (std::thread& t : threads)
        t.join();
    return std::all_of(succeeded.begin(), succeeded.end(), [](char ok) { return ok != 0; });
}

}  // namespace qv
