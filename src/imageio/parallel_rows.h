#pragma once

#include <functional>

namespace qv {

// Calls work(worker, row) once for every row 0 .. rows-1 on up to `workers`
// threads (the calling thread is one of them), each thread taking the next
// row nobody has taken yet; `worker` (0 .. workers-1) identifies the thread
// so that it can use scratch space of its own. Once a call returns false no
// further rows are started. True when every call returned true.
bool forEachRowParallel(int rows, int workers, const std::function<bool(int worker, int row)>& work);

}  // namespace qv
