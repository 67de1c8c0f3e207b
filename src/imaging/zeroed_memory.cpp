#include "imaging/zeroed_memory.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace qv {

namespace {

// Large pages are 2 MB; smaller blocks gain nothing from them.
constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

}  // namespace

void ZeroedMemoryFree::operator()(uint8_t* p) const
{
#ifdef __linux__
    if (mappedBytes != 0) {
        ::munmap(p, mappedBytes);
        return;
    }
#endif
    std::free(p);
}

ZeroedBytes allocateZeroed(std::size_t bytes)
{
#ifdef __linux__
    if (bytes >= kLargePageBytes) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        ::madvise(p, bytes, MADV_HUGEPAGE);  // only a hint: without it the small pages serve
        return ZeroedBytes(static_cast<uint8_t*>(p), ZeroedMemoryFree{bytes});
    }
#endif
    return ZeroedBytes(static_cast<uint8_t*>(std::calloc(bytes, 1)));
}

}  // namespace qv
