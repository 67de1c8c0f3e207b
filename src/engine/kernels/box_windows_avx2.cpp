// The AVX2 slide of the box windows along a row. Every value is a whole
// number below 2^53 (a window holds fewer than 2^37 pixels of at most
// 65535), so the running sums are exact in double precision whatever the
// order of the additions, and equal the plain loop's 64-bit integers.

#include "engine/kernels/box_windows.h"

#include "engine/kernels/window_deviation_avx2.h"

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

// Slides the windows over pixels from .. to-1 four at a time while a group
// fits, a column joining each window on its right (Join) and leaving it on
// its left (Leave) at every step, and hands each group to
// group(x, sums, pixels). Answers the first pixel not handed over; `run`
// is then that pixel's window.
template <bool Join, bool Leave, class Group>
QV_AVX2 int slideGroups(const WindowRow& row, WindowRun& run, int from, int to, Group&& group)
{
    const uint32_t* columns = row.columnSums;
    const int r = row.radius;
    const double step = static_cast<double>(row.rows) * (int(Join) - int(Leave));
    const __m256d offset = _mm256_set1_pd(2147483648.0);
    __m256d runSum = _mm256_set1_pd(static_cast<double>(run.sum));
    __m256d runPixels = _mm256_set1_pd(static_cast<double>(run.pixels));
    const __m256d pixelSteps = _mm256_mul_pd(_mm256_set1_pd(step), _mm256_set_pd(3.0, 2.0, 1.0, 0.0));
    const __m256d groupStep = _mm256_set1_pd(4.0 * step);
    // Column sums below 2^31 differ by less than 2^31: the difference in
    // 32-bit integers is exact.
    const bool narrowSums = row.rows * 65535 <= INT32_MAX;
    int x = from;
    for (; x + 4 <= to; x += 4) {
        __m256d change = _mm256_setzero_pd();
        if (Join && Leave && narrowSums)
            change = _mm256_cvtepi32_pd(
                _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + x + r + 1)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + x - r))));
        else if (Join && Leave)
            change = _mm256_sub_pd(columnsLess2p31(columns + x + r + 1), columnsLess2p31(columns + x - r));
        else if (Join)
            change = _mm256_add_pd(columnsLess2p31(columns + x + r + 1), offset);
        else if (Leave)
            change = _mm256_sub_pd(_mm256_setzero_pd(), _mm256_add_pd(columnsLess2p31(columns + x - r), offset));
        const __m256d through = inclusivePrefix(change);
        // Each pixel's window is the run before its own step.
        group(x, _mm256_add_pd(runSum, _mm256_sub_pd(through, change)), _mm256_add_pd(runPixels, pixelSteps));
        runSum = _mm256_add_pd(runSum, _mm256_permute4x64_pd(through, _MM_SHUFFLE(3, 3, 3, 3)));
        runPixels = _mm256_add_pd(runPixels, groupStep);
    }
    run.sum = static_cast<int64_t>(_mm256_cvtsd_f64(runSum));
    run.pixels = static_cast<int64_t>(_mm256_cvtsd_f64(runPixels));
    return x;
}

// Calls segment.operator()<Join, Leave>(from, to) for the stretches of
// pixels x0 .. end-1 over which the same columns join and leave: columns
// join while x + r + 1 < W and leave from x = r on.
template <class Segment>
QV_AVX2 void forEachStretch(const WindowRow& row, int x0, int end, Segment&& segment)
{
    const int joinEnd = std::clamp(row.width - row.radius - 1, x0, end);
    const int leaveFrom = std::clamp(row.radius, x0, end);
    const int middle = std::min(joinEnd, leaveFrom);
    const int last = std::max(joinEnd, leaveFrom);
    segment.template operator()<true, false>(x0, middle);
    if (leaveFrom < joinEnd)
        segment.template operator()<true, true>(middle, last);
    else
        segment.template operator()<false, false>(middle, last);
    segment.template operator()<false, true>(last, end);
}

// Four deviations written or raised into out.
template <DeviationOutput Output>
QV_AVX2 inline void putFour(uint16_t* out, __m128i deviations)
{
    __m128i* o = reinterpret_cast<__m128i*>(out);
    // The unsigned saturating pack limits to 0..65535.
    __m128i q = _mm_packus_epi32(deviations, deviations);
    if (Output == DeviationOutput::Raise)
        q = _mm_max_epu16(_mm_loadl_epi64(o), q);
    _mm_storel_epi64(o, q);
}

template <DeviationDivisor Divisor, DeviationOutput Output>
QV_AVX2 void writeRow(const WindowRow& row, WindowRun run, const uint16_t* luma, int half, uint16_t* out)
{
    const __m128i halves = _mm_set1_epi32(half);
    forEachStretch(row, 0, row.width, [&]<bool Join, bool Leave>(int from, int to) QV_AVX2 {
        const int x = slideGroups<Join, Leave>(row, run, from, to, [&](int at, __m256d sum, __m256d pixels) QV_AVX2 {
            putFour<Output>(out + at, avx2::deviationsOfFour<Divisor>(pixels, avx2::lumaOfFour(luma + at), sum, halves));
        });
        // The last few pixels of the stretch by the plain loops.
        double sum[4], pixels[4];
        const int rest = to - x;
        slideWindowsPlain(row, run, x, rest, sum, pixels);
        writeDeviationsPlain({luma + x, sum, pixels, rest}, Divisor, Output, half, out + x);
    });
}

template <DeviationDivisor Divisor>
QV_AVX2 void writeRowTo(const WindowRow& row, WindowRun run, const uint16_t* luma, DeviationOutput output, int half,
                        uint16_t* out)
{
    if (output == DeviationOutput::Raise)
        writeRow<Divisor, DeviationOutput::Raise>(row, run, luma, half, out);
    else
        writeRow<Divisor, DeviationOutput::Store>(row, run, luma, half, out);
}

}  // namespace

QV_AVX2 void slideWindowsAvx2(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels)
{
    forEachStretch(row, x0, x0 + count, [&]<bool Join, bool Leave>(int from, int to) QV_AVX2 {
        const int x = slideGroups<Join, Leave>(row, run, from, to, [&](int at, __m256d sums, __m256d counts) QV_AVX2 {
            _mm256_storeu_pd(sum + (at - x0), sums);
            _mm256_storeu_pd(pixels + (at - x0), counts);
        });
        slideWindowsPlain(row, run, x, to - x, sum + (x - x0), pixels + (x - x0));
    });
}

QV_AVX2 void writeRowDeviationsAvx2(const WindowRow& row, WindowRun run, const uint16_t* luma,
                                    DeviationDivisor divisor, DeviationOutput output, int half, uint16_t* out)
{
    if (divisor == DeviationDivisor::OtherPixels)
        writeRowTo<DeviationDivisor::OtherPixels>(row, run, luma, output, half, out);
    else
        writeRowTo<DeviationDivisor::QuarterWindow>(row, run, luma, output, half, out);
}

}  // namespace qv
