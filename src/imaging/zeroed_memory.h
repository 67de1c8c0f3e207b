#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qv {

// Zero-filled memory for pictures and planes. A block of several megabytes
// is mapped from the system and advised for large pages where the system
// has them: its first touch then costs one fault per 2 MB instead of one per
// 4 KB, which is most of the time spent filling a freshly made 24 MP
// picture. Smaller blocks come from the allocator, already zero.
struct ZeroedMemoryFree {
    std::size_t mappedBytes = 0;  // 0 for memory from the allocator
    void operator()(uint8_t* p) const;
};
using ZeroedBytes = std::unique_ptr<uint8_t, ZeroedMemoryFree>;

// Null when the memory cannot be had.
ZeroedBytes allocateZeroed(std::size_t bytes);

}  // namespace qv
