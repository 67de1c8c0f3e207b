#include "engine/kernels/box_windows.h"

#include <cstddef>

namespace qv {

void BoxWindows::startAt(int y)
{
    std::fill(sums_, sums_ + width_, 0u);
    for (int row = std::max(y - radius_, 0); row <= std::min(y + radius_, height_ - 1); ++row) {
        const uint16_t* p = plane_ + static_cast<std::size_t>(row) * width_;
        for (int x = 0; x < width_; ++x)
            sums_[x] += p[x];
    }
}

void BoxWindows::advance(int y)
{
    if (y - radius_ >= 0) {
        const uint16_t* leaving = plane_ + static_cast<std::size_t>(y - radius_) * width_;
        for (int x = 0; x < width_; ++x)
            sums_[x] -= leaving[x];
    }
    if (y + radius_ + 1 < height_) {
        const uint16_t* entering = plane_ + static_cast<std::size_t>(y + radius_ + 1) * width_;
        for (int x = 0; x < width_; ++x)
            sums_[x] += entering[x];
    }
}

}  // namespace qv
