#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/plane_memory.h"

namespace qv {

// Rows firstRow..endRow-1 of a plane, each with `pad` spare columns on the
// left and `pad` + kPaddedPlaneSlack on the right, so that a 16-wide vector
// load starting up to `pad` columns left of any pixel and reaching up to
// `pad` columns right of it stays inside the allocation. The spare columns
// hold no meaning.
inline constexpr int kPaddedPlaneSlack = 16;

template <class T>
class PaddedPlane {
public:
    static std::ptrdiff_t strideFor(int width, int pad)
    {
        return static_cast<std::ptrdiff_t>(width) + 2 * pad + kPaddedPlaneSlack;
    }

    bool allocate(int width, int firstRow, int endRow, int pad)
    {
        firstRow_ = firstRow;
        pad_ = pad;
        stride_ = strideFor(width, pad);
        return memory_.allocate(static_cast<std::size_t>(stride_) * (endRow - firstRow) * sizeof(T));
    }
    // Column 0 of image row y.
    T* row(int y) { return memory_.as<T>() + (y - firstRow_) * stride_ + pad_; }
    const T* row(int y) const { return memory_.as<T>() + (y - firstRow_) * stride_ + pad_; }
    std::ptrdiff_t stride() const { return stride_; }

private:
    PlaneMemory memory_;
    int firstRow_ = 0;
    int pad_ = 0;
    std::ptrdiff_t stride_ = 0;
};

}  // namespace qv
