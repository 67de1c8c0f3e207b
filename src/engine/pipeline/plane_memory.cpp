#include "engine/pipeline/plane_memory.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace qv {

namespace {

#ifdef __linux__
// Large pages are 2 MB; smaller planes gain nothing from them.
constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

// Anonymous memory, zero until written, advised to the kernel for large
// pages; nullptr when it cannot be had.
void* mapLarge(std::size_t bytes)
{
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    ::madvise(p, bytes, MADV_HUGEPAGE);  // only a hint: without it the small pages serve
    return p;
}
#endif

}  // namespace

bool PlaneMemory::allocate(std::size_t bytes, Pages pages)
{
    release();
    if (bytes == 0)
        return true;
    Free free;
    void* p = nullptr;
#ifdef __linux__
    // Where no mapping can be had, the ordinary allocation serves instead.
    if (pages == Pages::Large && bytes >= kLargePageBytes) {
        p = mapLarge(bytes);
        if (p)
            free.mappedBytes = bytes;
    }
#endif
    if (!p)
        p = std::calloc(bytes, 1);
    if (!p)
        return false;
    data_ = std::unique_ptr<uint8_t, Free>(static_cast<uint8_t*>(p), free);
    size_ = bytes;
    return true;
}

void PlaneMemory::Free::operator()(uint8_t* p) const
{
#ifdef __linux__
    if (mappedBytes != 0) {
        ::munmap(p, mappedBytes);
        return;
    }
#endif
    std::free(p);
}

}  // namespace qv
