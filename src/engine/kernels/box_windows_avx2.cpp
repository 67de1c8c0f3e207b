// The AVX2 slide of the box windows along a row. Every value is a whole
// number below 2^53 (a window holds fewer than 2^37 pixels of at most
// 65535), so the running sums are exact in double precision whatever the
// order of the additions, and equal the plain loop's 64-bit integers.

#include "engine/kernels/box_windows.h"

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

// Four column sums as doubles, each less 2^31: the signed conversion of
// the value with its top bit flipped. The offsets cancel in a difference.
QV_AVX2 inline __m256d columnsLess2p31(const uint32_t* p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm256_cvtepi32_pd(_mm_xor_si128(v, _mm_set1_epi32(INT32_MIN)));
}

// The sums of d over lanes 0 .. i for each lane i.
QV_AVX2 inline __m256d inclusivePrefix(__m256d d)
{
    const __m256d zero = _mm256_setzero_pd();
    const __m256d s = _mm256_add_pd(d, _mm256_blend_pd(_mm256_permute4x64_pd(d, _MM_SHUFFLE(2, 1, 0, 0)), zero, 0b0001));
    return _mm256_add_pd(s, _mm256_blend_pd(_mm256_permute4x64_pd(s, _MM_SHUFFLE(1, 0, 0, 0)), zero, 0b0011));
}

// Pixels from .. to-1 of the chunk starting at x0, over which a column
// joins each window on its right (Join) and leaves it on its left (Leave)
// at every step; the pixels left over after the groups of four go by the
// plain loop.
template <bool Join, bool Leave>
QV_AVX2 void slideSegment(const WindowRow& row, WindowRun& run, int x0, int from, int to, double* sum, double* pixels)
{
    const uint32_t* columns = row.columnSums;
    const int r = row.radius;
    const double step = static_cast<double>(row.rows) * (int(Join) - int(Leave));
    const __m256d lanes = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
    const __m256d offset = _mm256_set1_pd(2147483648.0);
    __m256d runSum = _mm256_set1_pd(static_cast<double>(run.sum));
    __m256d runPixels = _mm256_set1_pd(static_cast<double>(run.pixels));
    const __m256d pixelSteps = _mm256_mul_pd(_mm256_set1_pd(step), lanes);
    const __m256d groupStep = _mm256_set1_pd(4.0 * step);
    int x = from;
    for (; x + 4 <= to; x += 4) {
        __m256d change = _mm256_setzero_pd();
        if (Join && Leave)
            change = _mm256_sub_pd(columnsLess2p31(columns + x + r + 1), columnsLess2p31(columns + x - r));
        else if (Join)
            change = _mm256_add_pd(columnsLess2p31(columns + x + r + 1), offset);
        else if (Leave)
            change = _mm256_sub_pd(_mm256_setzero_pd(), _mm256_add_pd(columnsLess2p31(columns + x - r), offset));
        const __m256d through = inclusivePrefix(change);
        // Each pixel's window is the run before its own step.
        _mm256_storeu_pd(sum + (x - x0), _mm256_add_pd(runSum, _mm256_sub_pd(through, change)));
        _mm256_storeu_pd(pixels + (x - x0), _mm256_add_pd(runPixels, pixelSteps));
        runSum = _mm256_add_pd(runSum, _mm256_permute4x64_pd(through, _MM_SHUFFLE(3, 3, 3, 3)));
        runPixels = _mm256_add_pd(runPixels, groupStep);
    }
    run.sum = static_cast<int64_t>(_mm256_cvtsd_f64(runSum));
    run.pixels = static_cast<int64_t>(_mm256_cvtsd_f64(runPixels));
    slideWindowsPlain(row, run, x, to - x, sum + (x - x0), pixels + (x - x0));
}

}  // namespace

QV_AVX2 void slideWindowsAvx2(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels)
{
    const int end = x0 + count;
    // Columns join while x + r + 1 < W and leave from x = r on.
    const int joinEnd = std::clamp(row.width - row.radius - 1, x0, end);
    const int leaveFrom = std::clamp(row.radius, x0, end);
    const int middle = std::min(joinEnd, leaveFrom);
    const int last = std::max(joinEnd, leaveFrom);
    slideSegment<true, false>(row, run, x0, x0, middle, sum, pixels);
    if (leaveFrom < joinEnd)
        slideSegment<true, true>(row, run, x0, middle, last, sum, pixels);
    else
        slideSegment<false, false>(row, run, x0, middle, last, sum, pixels);
    slideSegment<false, true>(row, run, x0, last, end, sum, pixels);
}

}  // namespace qv
