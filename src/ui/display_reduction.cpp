#include "ui/display_reduction.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"

namespace qv::ui {

namespace {

// Rows read per output row: every row down to 50 %, two evenly spread rows
// of the area below that, which keeps a new result's first paint within a
// few milliseconds at the fitting zoom of a large photo.
constexpr int kRowsPerOutputRow = 2;

// The source span [edges[i], edges[i + 1]) behind output position i.
std::vector<int> spanEdges(int sourceSize, int outputSize)
{
    std::vector<int> edges(outputSize + 1);
    for (int i = 0; i <= outputSize; ++i)
        edges[i] = static_cast<int>(static_cast<long long>(i) * sourceSize / outputSize);
    return edges;
}

void reduceRows(const Bitmap& in, QImage& out, const std::vector<int>& columns, const std::vector<int>& rows,
                int firstRow, int endRow)
{
    const int width = out.width();
    std::vector<uint32_t> sums(3 * static_cast<std::size_t>(width));
    for (int oy = firstRow; oy < endRow; ++oy) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int span = rows[oy + 1] - rows[oy];
        const int samples = std::min(span, kRowsPerOutputRow);
        for (int k = 0; k < samples; ++k) {
            const uint8_t* row = in.row(rows[oy] + (2 * k + 1) * span / (2 * samples));
            uint32_t* sum = sums.data();
            for (int ox = 0; ox < width; ++ox, sum += 3) {
                uint32_t b = 0, g = 0, r = 0;
                for (const uint8_t *p = row + 3 * columns[ox], *end = row + 3 * columns[ox + 1]; p < end; p += 3) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
                sum[0] += b;
                sum[1] += g;
                sum[2] += r;
            }
        }
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(oy));
        for (int ox = 0; ox < width; ++ox) {
            const uint32_t count = static_cast<uint32_t>(samples * (columns[ox + 1] - columns[ox]));
            const uint32_t* sum = &sums[3 * static_cast<std::size_t>(ox)];
            target[ox] = qRgb(static_cast<int>(sum[2] / count), static_cast<int>(sum[1] / count),
                              static_cast<int>(sum[0] / count));
        }
    }
}

}  // namespace

QImage reduceForDisplay(const Bitmap& bitmap, int width, int height)
{
    width = std::clamp(width, 1, bitmap.width());
    height = std::clamp(height, 1, bitmap.height());
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const std::vector<int> columns = spanEdges(bitmap.width(), width);
    const std::vector<int> rows = spanEdges(bitmap.height(), height);
    const int parts = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    std::vector<std::thread> helpers;
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back(reduceRows, std::cref(bitmap), std::ref(out), std::cref(columns), std::cref(rows),
                             height * part / parts, height * (part + 1) / parts);
    reduceRows(bitmap, out, columns, rows, 0, height / parts);
    for (std::thread& helper : helpers)
        helper.join();
    return out;
}

}  // namespace qv::ui
