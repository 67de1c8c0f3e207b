#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace qv {

// One raw allocation that the pipeline addresses as planes of different
// element types over the course of a run (the project compiles with
// -fno-strict-aliasing for this reason), zero when allocated. Allocation
// failure is an answer, not an exception.
class PlaneMemory {
public:
    bool allocate(std::size_t bytes)
    {
        release();
        if (bytes == 0)
            return true;
        data_.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
        size_ = data_ ? bytes : 0;
        return data_ != nullptr;
    }
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
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    std::size_t size_ = 0;
};

}  // namespace qv
