#pragma once

#include <atomic>
#include <functional>

namespace qv {

// The one way the image input and output code (merging, resampling and with
// it the working-image preparation) spreads work over threads; the stages
// have their own runner with pass barriers.
//
// Calls work(worker, row) once for every row 0 .. rows-1 on up to `workers`
// threads (the calling thread is one of them), each thread taking the next
// row nobody has taken yet; a row is whatever unit the caller splits its
// work into (an image row, a range of rows or columns). `worker`
// (0 .. workers-1) identifies the thread so that it can use scratch space of
// its own. Where fewer threads can be had, those that started share the
// rows. Once a call returns false no further rows are started. True when
// every call returned true.
bool forEachRowParallel(int rows, int workers, const std::function<bool(int worker, int row)>& work);

// The same for image rows taken `rowsPerTask` at a time, so that a thread
// takes its next rows rarely: work(row) for every row 0 .. rows-1, no
// further rows of a block after a call returned false.
bool forEachRowBlockParallel(int rows, int rowsPerTask, int workers, const std::function<bool(int row)>& work);

// Raises a value shared by the row threads to at least `value` (a
// percentage or a largest value found), so that rows taken in any order
// never make it go back.
template <class T>
void raiseTo(std::atomic<T>& target, T value)
{
    T current = target.load(std::memory_order_relaxed);
    while (current < value && !target.compare_exchange_weak(current, value, std::memory_order_relaxed)) {
    }
}

}  // namespace qv
