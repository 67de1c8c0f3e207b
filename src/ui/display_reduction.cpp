#include "ui/display_reduction.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"

namespace qv::ui {

namespace {

// Rows read per output row: every row down to 50 %, two evenly spread rows
// of the area below that, which keeps a new result's first paint within a
// few milliseconds at the fitting zoom of a large photo.
constexpr int kRowsPerOutputRow = 2;

// The two sampled rows are added into 16-bit channel sums first; a pixel's
// three sums are then read as one 64-bit word whose 16-bit lanes add without
// carrying into each other for up to this many pixels (255 * 2 * 128 < 65536).
constexpr int kPixelsPerLaneSum = 128;
static_assert(255 * kRowsPerOutputRow * kPixelsPerLaneSum <= 0xFFFF);
static_assert(std::endian::native == std::endian::little, "channel lanes are read little-endian");

// Means by multiplying with the area's reciprocal 2^kReciprocalShift / area,
// rounded up: the quotient is exact while sum * (rounding error) stays below
// 2^kReciprocalShift, which holds for every sum of 8-bit values (at most
// 255 * area) over areas up to kMaxReciprocalArea. Larger areas (columns
// over half a million pixels wide) are divided.
constexpr int kReciprocalShift = 48;
constexpr uint64_t kMaxReciprocalArea = uint64_t{1} << 20;
static_assert(255 * kMaxReciprocalArea * kMaxReciprocalArea < uint64_t{1} << kReciprocalShift);

struct Divisor {
    uint64_t area;
    uint64_t reciprocal;  // 0: divide
};

Divisor divisor(uint64_t area)
{
    if (area > kMaxReciprocalArea)
        return {area, 0};
    return {area, ((uint64_t{1} << kReciprocalShift) + area - 1) / area};
}

inline int quotient(uint64_t sum, Divisor d)
{
    return static_cast<int>(d.reciprocal ? sum * d.reciprocal >> kReciprocalShift : sum / d.area);
}

// The source span [edges[i], edges[i + 1]) behind output position i.
std::vector<int> spanEdges(int sourceSize, int outputSize)
{
    std::vector<int> edges(outputSize + 1);
    for (int i = 0; i <= outputSize; ++i)
        edges[i] = static_cast<int>(static_cast<long long>(i) * sourceSize / outputSize);
    return edges;
}

// What every band of output rows reads: the spans, and per output column
// the divisor of its area on two rows.
struct Grid {
    std::vector<int> columns;
    std::vector<int> rows;
    std::vector<Divisor> areas;
};

// sums = a + b for `count` channel values, in fixed blocks the compiler turns
// into vector instructions.
void addRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint16_t* __restrict sums, int count)
{
    constexpr int kBlock = 32;
    int i = 0;
    for (; i + kBlock <= count; i += kBlock)
        for (int k = 0; k < kBlock; ++k)
            sums[i + k] = static_cast<uint16_t>(a[i + k] + b[i + k]);
    for (; i < count; ++i)
        sums[i] = static_cast<uint16_t>(a[i] + b[i]);
}

// Pixel x's three channel sums (and the next pixel's first) as 16-bit lanes.
inline uint64_t lanesAt(const uint16_t* sums, int x)
{
    uint64_t lanes;
    std::memcpy(&lanes, sums + 3 * x, sizeof lanes);
    return lanes;
}

// One output row from the two-row channel sums: each pixel the mean of its
// column span.
void reduceColumns(const uint16_t* sums, const Grid& grid, QRgb* target, int width)
{
    for (int ox = 0; ox < width; ++ox) {
        uint64_t b = 0, g = 0, r = 0;
        for (int x = grid.columns[ox], end = grid.columns[ox + 1]; x < end;) {
            const int stop = std::min(end, x + kPixelsPerLaneSum);
            uint64_t lanes = 0;
            for (; x < stop; ++x)
                lanes += lanesAt(sums, x);
            b += lanes & 0xFFFF;
            g += (lanes >> 16) & 0xFFFF;
            r += (lanes >> 32) & 0xFFFF;
        }
        const Divisor area = grid.areas[ox];
        target[ox] = qRgb(quotient(r, area), quotient(g, area), quotient(b, area));
    }
}

// The output's pixels, addressed once on the calling thread: QImage's
// scanLine() detaches and counts each write access, which several threads
// must not do at once.
struct OutputRows {
    uchar* bits;
    qsizetype bytesPerLine;
    int width;
    QRgb* row(int y) const { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); }
};

void reduceRows(const Bitmap& in, OutputRows out, const Grid& grid, int firstRow, int endRow)
{
    const int channels = 3 * in.width();
    // One spare value: the last pixel's 64-bit word reaches one lane beyond.
    std::vector<uint16_t> sums(channels + 1);
    for (int oy = firstRow; oy < endRow; ++oy) {
        const int top = grid.rows[oy];
        const int span = grid.rows[oy + 1] - top;
        const int samples = std::min(span, kRowsPerOutputRow);
        // A single row counts twice, so that every area's sum covers two rows.
        const uint8_t* first = in.row(top + span / (2 * samples));
        const uint8_t* second = samples == 1 ? first : in.row(top + 3 * span / (2 * samples));
        addRows(first, second, sums.data(), channels);
        reduceColumns(sums.data(), grid, out.row(oy), out.width);
    }
}

}  // namespace

QImage reduceForDisplay(const Bitmap& bitmap, int width, int height, QImage recycled)
{
    width = std::clamp(width, 1, bitmap.width());
    height = std::clamp(height, 1, bitmap.height());
    // Memory already in use is written over, not mapped and faulted in anew.
    QImage out = recycled.size() == QSize(width, height) && recycled.format() == QImage::Format_RGB32 &&
                         recycled.isDetached()
                     ? std::move(recycled)
                     : QImage(width, height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    Grid grid{spanEdges(bitmap.width(), width), spanEdges(bitmap.height(), height), {}};
    for (int ox = 0; ox < width; ++ox)
        grid.areas.push_back(divisor(uint64_t{kRowsPerOutputRow} * (grid.columns[ox + 1] - grid.columns[ox])));
    const OutputRows rows{out.bits(), out.bytesPerLine(), width};
    // No more bands than rows: each band's thread holds a row of sums as wide as the bitmap.
    const int parts = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::min(4, height));
    std::vector<std::thread> helpers;
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back(reduceRows, std::cref(bitmap), rows, std::cref(grid), height * part / parts,
                             height * (part + 1) / parts);
    reduceRows(bitmap, rows, grid, 0, height / parts);
    for (std::thread& helper : helpers)
        helper.join();
    return out;
}

}  // namespace qv::ui
