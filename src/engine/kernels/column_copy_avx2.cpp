#include "engine/kernels/column_copy.h"

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

// Transposes the 8 x 8 block of 32-bit values at `from` (rows `fromStride`
// apart) into `to` (rows `toStride` apart): row k of the result is column k.
QV_AVX2 void transpose8x8(const uint32_t* from, std::ptrdiff_t fromStride, uint32_t* to, std::ptrdiff_t toStride)
{
    __m256i r[8];
    for (int k = 0; k < 8; ++k)
        r[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k * fromStride));
    // Pairs of rows interleaved by value, then by pairs of values: within
    // each 128-bit half, u[k] holds column k (or k + 4) of four rows.
    __m256i u[8];
    for (int half = 0; half < 8; half += 4) {
        const __m256i t0 = _mm256_unpacklo_epi32(r[half], r[half + 1]);
        const __m256i t1 = _mm256_unpackhi_epi32(r[half], r[half + 1]);
        const __m256i t2 = _mm256_unpacklo_epi32(r[half + 2], r[half + 3]);
        const __m256i t3 = _mm256_unpackhi_epi32(r[half + 2], r[half + 3]);
        u[half] = _mm256_unpacklo_epi64(t0, t2);
        u[half + 1] = _mm256_unpackhi_epi64(t0, t2);
        u[half + 2] = _mm256_unpacklo_epi64(t1, t3);
        u[half + 3] = _mm256_unpackhi_epi64(t1, t3);
    }
    // Rows 0-3 and 4-7 of each column joined from the two halves.
    for (int k = 0; k < 4; ++k) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k * toStride),
                            _mm256_permute2x128_si256(u[k], u[k + 4], 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + (k + 4) * toStride),
                            _mm256_permute2x128_si256(u[k], u[k + 4], 0x31));
    }
}

// The whole 8 x 8 blocks of a strip of columns through registers, eight
// rows of the strip at a time, so that each row's part of the strip is
// moved at once; the columns and rows left over (at the plane's right and
// bottom edges) with the plain copy.
template <bool Gather>
QV_AVX2 void copyStrip(const uint32_t* from, int w, int h, int x0, int n, uint32_t* to)
{
    const int blockColumns = n / 8 * 8;
    const int blockRows = h / 8 * 8;
    for (int y0 = 0; y0 < blockRows; y0 += 8)
        for (int j = 0; j < blockColumns; j += 8) {
            const std::size_t inPlane = static_cast<std::size_t>(y0) * w + x0 + j;
            const std::size_t inColumns = static_cast<std::size_t>(j) * h + y0;
            if constexpr (Gather)
                transpose8x8(from + inPlane, w, to + inColumns, h);
            else
                transpose8x8(from + inColumns, h, to + inPlane, w);
        }
    // The rows left over, all columns of the strip.
    if constexpr (Gather)
        gatherColumns(from, w, h, x0, blockColumns, to, blockRows);
    else
        scatterColumns(from, w, h, x0, blockColumns, to, blockRows);
    // The columns left over, all rows.
    if (blockColumns < n) {
        const std::size_t skipped = static_cast<std::size_t>(blockColumns) * h;
        if constexpr (Gather)
            gatherColumns(from, w, h, x0 + blockColumns, n - blockColumns, to + skipped);
        else
            scatterColumns(from + skipped, w, h, x0 + blockColumns, n - blockColumns, to);
    }
}

}  // namespace

QV_AVX2 void gatherColumnsAvx2(const uint32_t* plane, int w, int h, int x0, int n, uint32_t* columns)
{
    copyStrip<true>(plane, w, h, x0, n, columns);
}

QV_AVX2 void scatterColumnsAvx2(const uint32_t* columns, int w, int h, int x0, int n, uint32_t* plane)
{
    copyStrip<false>(columns, w, h, x0, n, plane);
}

}  // namespace qv
