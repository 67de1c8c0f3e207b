#pragma once

#include <new>

namespace qv {

// Runs `allocate` (sizing a stage's buffers and tables) and tells whether
// memory sufficed, so that a stage answers failure instead of letting
// std::bad_alloc leave a worker or the driver.
template <class Allocate>
bool allocationSucceeds(Allocate&& allocate)
{
    try {
        allocate();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace qv
