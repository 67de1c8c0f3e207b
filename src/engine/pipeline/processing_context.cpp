#include "engine/pipeline/processing_context.h"

#include <algorithm>
#include <thread>

namespace qv {

int ProcessingContext::defaultWorkerCount()
{
    int processors = 1;
    const unsigned reported = std::thread::hardware_concurrency();
    if (reported > 1 && reported != ~0u)
        processors = static_cast<int>(reported);
    return std::min(processors + 2, 20);
}

}  // namespace qv
