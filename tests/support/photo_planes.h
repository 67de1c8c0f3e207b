#pragma once

// Working planes made from the shared test photos, for tests and benchmarks
// (header-only, so benchmark programs can use it without the test library).

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

// The photo at `path`, scaled to `width` pixels wide (0: as stored); empty
// when it cannot be read.
inline PhotoPlanes loadPhotoPlanesFile(const std::string& path, int width = 0)
{
    QImage image(QString::fromStdString(path));
    PhotoPlanes planes;
    if (image.isNull())
        return planes;
    if (width > 0)
        image = image.scaledToWidth(width, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGB888);
    planes.width = image.width();
    planes.height = image.height();
    planes.luma.resize(static_cast<std::size_t>(planes.width) * planes.height);
    planes.chroma.resize(2 * planes.luma.size());
    for (int y = 0; y < planes.height; ++y) {
        const uchar* px = image.constScanLine(y);
        for (int x = 0; x < planes.width; ++x, px += 3) {
            const float r = static_cast<float>(px[0] << 8);
            const float g = static_cast<float>(px[1] << 8);
            const float b = static_cast<float>(px[2] << 8);
            const std::size_t i = static_cast<std::size_t>(y) * planes.width + x;
            planes.luma[i] = static_cast<uint16_t>((0.299f * r + 0.114f * b) + 0.587f * g);
            planes.chroma[2 * i] = static_cast<int16_t>(((0.436f * b - 0.28886f * g) - 0.14713f * r) / 0.872f);
            planes.chroma[2 * i + 1] = static_cast<int16_t>((0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f);
        }
    }
    return planes;
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
