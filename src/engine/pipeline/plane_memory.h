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
    bool allocate(std::size_t bytes);
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
    // Planes of several megabytes are mapped in large pages where the
    // system has them: the passes down the columns of a plane touch a new
    // small page at every row, and the address translations they miss
    // cost more than their arithmetic.
    struct Free {
        std::size_t mappedBytes;  // 0 for memory from calloc
        Free() noexcept : mappedBytes(0) {}
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> data_;
    std::size_t size_ = 0;
};

}  // namespace qv
