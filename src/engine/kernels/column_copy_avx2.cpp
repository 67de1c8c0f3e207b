#include "engine/kernels/column_copy.h"

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

constexpr int kBlockColumns = 16;

// Transposes eight rows of 16-bit values within each 128-bit half: after it,
// v[k] holds element k of every input row, the low half from the inputs' low
// halves and the high half from their high halves. Rows of 16 plane values
// become two columns each (k and k + 8); two 8-row column pieces in the
// halves become one row of 16.
QV_AVX2 void transposeHalves(__m256i v[8])
{
    __m256i a[8];
    __m256i b[8];
    for (int k = 0; k < 8; k += 2) {
        a[k] = _mm256_unpacklo_epi16(v[k], v[k + 1]);
        a[k + 1] = _mm256_unpackhi_epi16(v[k], v[k + 1]);
    }
    for (int k = 0; k < 8; k += 4) {
        b[k] = _mm256_unpacklo_epi32(a[k], a[k + 2]);
        b[k + 1] = _mm256_unpackhi_epi32(a[k], a[k + 2]);
        b[k + 2] = _mm256_unpacklo_epi32(a[k + 1], a[k + 3]);
        b[k + 3] = _mm256_unpackhi_epi32(a[k + 1], a[k + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        v[2 * k] = _mm256_unpacklo_epi64(b[k], b[k + 4]);
        v[2 * k + 1] = _mm256_unpackhi_epi64(b[k], b[k + 4]);
    }
}

// The block of 8 rows by 16 columns at `plane` (rows `w` apart) to or from
// its 16 column pieces of 8 values at `columns` (columns `h` apart).
QV_AVX2 void gatherBlock(const uint16_t* plane, std::ptrdiff_t w, uint16_t* columns, std::ptrdiff_t h)
{
    __m256i v[8];
    for (int k = 0; k < 8; ++k)
        v[k] = avx2::load(plane + k * w);
    transposeHalves(v);
    for (int k = 0; k < 8; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + k * h), _mm256_castsi256_si128(v[k]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + (k + 8) * h), _mm256_extracti128_si256(v[k], 1));
    }
}

QV_AVX2 void scatterBlock(const uint16_t* columns, std::ptrdiff_t h, uint16_t* plane, std::ptrdiff_t w)
{
    __m256i v[8];
    for (int k = 0; k < 8; ++k)
        v[k] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(columns + (k + 8) * h),
                                   reinterpret_cast<const __m128i*>(columns + k * h));
    transposeHalves(v);
    for (int k = 0; k < 8; ++k)
        avx2::store(plane + k * w, v[k]);
}

// The whole 8 x 16 blocks of a strip of columns through registers, eight
// rows of the strip at a time, so that each row's part of the strip is
// moved at once; the columns and rows left over (at the plane's right and
// bottom edges) with the plain copy.
template <bool Gather>
QV_AVX2 void copyStrip(const uint16_t* from, int w, int h, int x0, int n, uint16_t* to)
{
    const int blockColumns = n / kBlockColumns * kBlockColumns;
    const int blockRows = h / 8 * 8;
    for (int y0 = 0; y0 < blockRows; y0 += 8)
        for (int j = 0; j < blockColumns; j += kBlockColumns) {
            const std::size_t inPlane = static_cast<std::size_t>(y0) * w + x0 + j;
            const std::size_t inColumns = static_cast<std::size_t>(j) * h + y0;
            if constexpr (Gather)
                gatherBlock(from + inPlane, w, to + inColumns, h);
            else
                scatterBlock(from + inColumns, h, to + inPlane, w);
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

QV_AVX2 void gatherColumnsAvx2(const uint16_t* plane, int w, int h, int x0, int n, uint16_t* columns)
{
    copyStrip<true>(plane, w, h, x0, n, columns);
}

QV_AVX2 void scatterColumnsAvx2(const uint16_t* columns, int w, int h, int x0, int n, uint16_t* plane)
{
    copyStrip<false>(columns, w, h, x0, n, plane);
}

}  // namespace qv
