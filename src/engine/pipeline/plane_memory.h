#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qv {

// One raw allocation that the pipeline addresses as planes of different
// element types over the course of a run (the project compiles with
// -fno-strict-aliasing for this reason), zero when allocated. Allocation
// failure is an answer, not an exception.
class PlaneMemory {
public:
    // Large pages (where the system has them) suit planes walked down their
    // columns in full: such a pass touches a new small page at every row,
    // and the address translations it misses cost more than its
    // arithmetic. A plane used only in part would hold more memory in them.
    enum class Pages { Small, Large };

    bool allocate(std::size_t bytes, Pages pages = Pages::Small);
    void release()
    {
        data_.reset();
        size_ = 0;
    }
    std::size_t bytes() const { return size_; }
    bool empty() const { return size_ == 0; }

    template <class T>
    T* as(std::size_t byteOffset = 0)
    {
        return reinterpret_cast<T*>(data_.get() + byteOffset);
    }
    template <class T>
    const T* as(std::size_t byteOffset = 0) const
    {
        return reinterpret_cast<const T*>(data_.get() + byteOffset);
    }

private:
    struct Free {
        std::size_t mappedBytes;  // 0 for memory from calloc
        Free() noexcept : mappedBytes(0) {}
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> data_;
    std::size_t size_ = 0;
};

}  // namespace qv
