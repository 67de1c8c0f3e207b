#include "imageio/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace qv {

bool forEachRowParallel(int rows, int workers, const std::function<bool(int worker, int row)>& work)
{
    std::atomic<int> nextRow{0};
    std::atomic<bool> failed{false};
    auto run = [&](int worker) {
        while (!failed.load(std::memory_order_relaxed)) {
            const int row = nextRow.fetch_add(1, std::memory_order_relaxed);
            if (row >= rows)
                return;
            if (!work(worker, row))
                failed.store(true, std::memory_order_relaxed);
        }
    };

    workers = std::clamp(workers, 1, std::max(rows, 1));
    std::vector<std::thread> threads;
    threads.reserve(workers - 1);
    try {
        for (int w = 1; w < workers; ++w)
            threads.emplace_back(run, w);
    } catch (const std::exception&) {
        // Fewer threads than asked for: the ones that started share the rows.
    }
    run(0);
    for (std::thread& t : threads)
        t.join();
    return !failed.load();
}

bool forEachRowBlockParallel(int rows, int rowsPerTask, int workers, const std::function<bool(int row)>& work)
{
    const int tasks = (rows + rowsPerTask - 1) / rowsPerTask;
    return forEachRowParallel(tasks, workers, [&](int, int task) {
        const int end = std::min(rows, (task + 1) * rowsPerTask);
        for (int row = task * rowsPerTask; row < end; ++row)
            if (!work(row))
                return false;
        return true;
    });
}

}  // namespace qv
