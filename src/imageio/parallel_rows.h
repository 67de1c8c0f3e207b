#pragma once

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

}  // namespace qv
