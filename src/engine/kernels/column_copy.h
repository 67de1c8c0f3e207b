#pragma once

// Columns of a plane copied to and from contiguous lines, so that passes
// down the columns read and write memory in order: a strip of neighbouring
// columns at a time, each column's values one after the other.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv {

// Rows moved together between a plane and its columns: a few rows of one
// column are written in a row, rather than one value to each column in turn.
constexpr int kColumnBlockRows = 8;

// Copies columns x0 .. x0+n-1 of a w x h plane into `columns`, column after
// column (h values each); rows before `firstRow` are left out.
template <class T>
void gatherColumns(const T* __restrict plane, int w, int h, int x0, int n, T* __restrict columns, int firstRow = 0)
{
    for (int y0 = firstRow; y0 < h; y0 += kColumnBlockRows) {
        const int rows = std::min(kColumnBlockRows, h - y0);
        for (int j = 0; j < n; ++j) {
            const T* from = plane + static_cast<std::size_t>(y0) * w + x0 + j;
            T* to = columns + static_cast<std::size_t>(j) * h + y0;
            for (int k = 0; k < rows; ++k)
                to[k] = from[static_cast<std::size_t>(k) * w];
        }
    }
}

// Writes `columns` back into columns x0 .. x0+n-1 of the plane, from row
// `firstRow` on.
template <class T>
void scatterColumns(const T* __restrict columns, int w, int h, int x0, int n, T* __restrict plane, int firstRow = 0)
{
    for (int y0 = firstRow; y0 < h; y0 += kColumnBlockRows) {
        const int rows = std::min(kColumnBlockRows, h - y0);
        for (int j = 0; j < n; ++j) {
            T* to = plane + static_cast<std::size_t>(y0) * w + x0 + j;
            const T* from = columns + static_cast<std::size_t>(j) * h + y0;
            for (int k = 0; k < rows; ++k)
                to[static_cast<std::size_t>(k) * w] = from[k];
        }
    }
}

// The 16-bit copies, with AVX2 twins that move blocks of 8 rows by 16
// columns through registers; picked once per run.
using ColumnCopyFn = void (*)(const uint16_t* from, int w, int h, int x0, int n, uint16_t* to);
struct ColumnCopy {
    ColumnCopyFn gather;
    ColumnCopyFn scatter;
};
ColumnCopy pickColumnCopy();

void gatherColumnsAvx2(const uint16_t* plane, int w, int h, int x0, int n, uint16_t* columns);
void scatterColumnsAvx2(const uint16_t* columns, int w, int h, int x0, int n, uint16_t* plane);

}  // namespace qv
