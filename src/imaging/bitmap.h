#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qv {

// The two pixel layouts: three channels per pixel in the order blue, green,
// red, either 8 bits (24-bit RGB) or unsigned 16 bits (48-bit RGB) each.
enum class PixelFormat { Bgr24, Bgr48 };

inline constexpr int bytesPerPixel(PixelFormat f) { return f == PixelFormat::Bgr24 ? 3 : 6; }

// A picture in one of the two layouts, rows top-down, each row starting on a
// 4-byte boundary. A bitmap is handed between threads by an exclusive
// try-lock: a second lock fails while the first holder keeps it.
class Bitmap {
public:
    // An empty (black) bitmap, or nullptr when the size is not positive or the
    // memory cannot be had.
    static std::unique_ptr<Bitmap> create(int width, int height, PixelFormat format);

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    std::ptrdiff_t stride() const { return stride_; }
    std::size_t byteSize() const { return static_cast<std::size_t>(stride_) * height_; }

    uint8_t* bits() { return data_.get(); }
    const uint8_t* bits() const { return data_.get(); }
    uint8_t* row(int y) { return data_.get() + y * stride_; }
    const uint8_t* row(int y) const { return data_.get() + y * stride_; }
    uint16_t* row16(int y) { return reinterpret_cast<uint16_t*>(row(y)); }
    const uint16_t* row16(int y) const { return reinterpret_cast<const uint16_t*>(row(y)); }

    // Exclusive lock: true when taken, false while another holder has it.
    bool tryLock() { return !locked_.exchange(true, std::memory_order_acquire); }
    void unlock() { locked_.store(false, std::memory_order_release); }
    bool isLocked() const { return locked_.load(std::memory_order_relaxed); }

private:
    struct FreeBytes {
        void operator()(uint8_t* p) const;
    };
    using Bytes = std::unique_ptr<uint8_t, FreeBytes>;
    Bitmap(int width, int height, PixelFormat format, std::ptrdiff_t stride, Bytes data);

    int width_;
    int height_;
    PixelFormat format_;
    std::ptrdiff_t stride_;
    Bytes data_;
    std::atomic<bool> locked_{false};
};

// Holds a bitmap's lock for a scope; check owns() before use.
class BitmapLock {
public:
    explicit BitmapLock(Bitmap& b) : bitmap_(b.tryLock() ? &b : nullptr) {}
    ~BitmapLock()
    {
        if (bitmap_)
            bitmap_->unlock();
    }
    BitmapLock(const BitmapLock&) = delete;
    BitmapLock& operator=(const BitmapLock&) = delete;
    bool owns() const { return bitmap_ != nullptr; }

private:
    Bitmap* bitmap_;
};

// Fills an 8-bit bitmap with the high bytes of a 16-bit bitmap of the same size.
void copyHighBytes(const Bitmap& source48, Bitmap& target24);
// Fills a 16-bit bitmap from an 8-bit one of the same size, each value shifted left by 8.
void widenTo16(const Bitmap& source24, Bitmap& target48);
// The same for one row of `samples` channel values.
void widenRow(const uint8_t* in, uint16_t* out, int samples);

}  // namespace qv
