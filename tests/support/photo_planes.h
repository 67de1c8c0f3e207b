#pragma once

// Working planes made from the shared test photos, quickly and without the
// loader: for tests of single stages.

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// Luminance unsigned 16-bit and chroma interleaved signed (U, V), derived
// as the loader does: the 16-bit channels are the 8-bit ones shifted left by 8.
struct PhotoPlanes {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> luma;
    std::vector<int16_t> chroma;
};

// The photo at `path`, scaled down to `width` pixels wide (0 or wider than
// the photo: as stored) by averaging boxes of source pixels; empty when it
// cannot be read. Scaling and colour access avoid Qt's image operations
// that run on worker threads of their own.
inline PhotoPlanes loadPhotoPlanesFile(const std::string& path, int width = 0)
{
    const QImage image(QString::fromStdString(path));
    PhotoPlanes planes;
    if (image.isNull())
        return planes;
    const int sw = image.width(), sh = image.height();
    planes.width = width > 0 && width < sw ? width : sw;
    planes.height = std::max(1, static_cast<int>(static_cast<int64_t>(sh) * planes.width / sw));
    planes.luma.resize(static_cast<std::size_t>(planes.width) * planes.height);
    planes.chroma.resize(2 * planes.luma.size());
    for (int y = 0; y < planes.height; ++y) {
        const int y0 = static_cast<int>(static_cast<int64_t>(y) * sh / planes.height);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(y + 1) * sh / planes.height));
        for (int x = 0; x < planes.width; ++x) {
            const int x0 = static_cast<int>(static_cast<int64_t>(x) * sw / planes.width);
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * sw / planes.width));
            int sum[3] = {0, 0, 0};
            for (int yy = y0; yy < y1; ++yy) {
                for (int xx = x0; xx < x1; ++xx) {
                    const QRgb rgb = image.pixel(xx, yy);
                    sum[0] += qRed(rgb);
                    sum[1] += qGreen(rgb);
                    sum[2] += qBlue(rgb);
                }
            }
            const int n = (x1 - x0) * (y1 - y0);
            const float r = static_cast<float>((sum[0] / n) << 8);
            const float g = static_cast<float>((sum[1] / n) << 8);
            const float b = static_cast<float>((sum[2] / n) << 8);
            const std::size_t i = static_cast<std::size_t>(y) * planes.width + x;
            planes.luma[i] = static_cast<uint16_t>((0.299f * r + 0.114f * b) + 0.587f * g);
            planes.chroma[2 * i] = static_cast<int16_t>(((0.436f * b - 0.28886f * g) - 0.14713f * r) / 0.872f);
            planes.chroma[2 * i + 1] = static_cast<int16_t>((0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f);
        }
    }
    return planes;
}

// The w x h block at (x0, y0) of a plane `width` pixels wide.
inline std::vector<uint16_t> cropPlane(const std::vector<uint16_t>& plane, int width, int x0, int y0, int w, int h)
{
    std::vector<uint16_t> block;
    for (int y = y0; y < y0 + h; ++y)
        block.insert(block.end(), plane.begin() + y * width + x0, plane.begin() + y * width + x0 + w);
    return block;
}

// A plane shaped like the detail plane the smoothing stage gets: mid-grey
// plus the local contrast (against a 7x7 mean), amplified eight times.
inline std::vector<uint16_t> detailLikePlane(const std::vector<uint16_t>& luma, int w, int h)
{
    std::vector<uint16_t> d(luma.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int64_t sum = 0, n = 0;
            for (int yy = std::max(0, y - 3); yy <= std::min(h - 1, y + 3); ++yy)
                for (int xx = std::max(0, x - 3); xx <= std::min(w - 1, x + 3); ++xx, ++n)
                    sum += luma[static_cast<std::size_t>(yy) * w + xx];
            const int64_t v = (luma[static_cast<std::size_t>(y) * w + x] - sum / n) * 8 + 32768;
            d[static_cast<std::size_t>(y) * w + x] = static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535));
        }
    }
    return d;
}

}  // namespace qv::test
