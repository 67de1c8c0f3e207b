// The AVX2 loop of the window deviations: the plain loop's arithmetic (see
// window_deviation.cpp for why it is exact) on four doubles at a time.

#include "engine/kernels/window_deviation.h"

#include "engine/kernels/window_deviation_avx2.h"

namespace qv {

namespace {

// Four pixels from i: the truncated deviations plus `half` as 32-bit integers.
template <DeviationDivisor Divisor>
QV_AVX2 inline __m128i deviationsOfFour(const DeviationRow& row, __m128i half, int i)
{
    return avx2::deviationsOfFour<Divisor>(_mm256_loadu_pd(row.pixels + i), avx2::lumaOfFour(row.luma + i),
                                           _mm256_loadu_pd(row.sum + i), half);
}

template <DeviationDivisor Divisor, DeviationOutput Output>
QV_AVX2 int writeAvx2(const DeviationRow& row, int half, uint16_t* out)
{
    const __m128i halves = _mm_set1_epi32(half);
    int i = 0;
    for (; i + 8 <= row.count; i += 8) {
        // The unsigned saturating pack limits to 0..65535.
        __m128i q = _mm_packus_epi32(deviationsOfFour<Divisor>(row, halves, i),
                                     deviationsOfFour<Divisor>(row, halves, i + 4));
        __m128i* o = reinterpret_cast<__m128i*>(out + i);
        if (Output == DeviationOutput::Raise)
            q = _mm_max_epu16(_mm_loadu_si128(o), q);
        _mm_storeu_si128(o, q);
    }
    return i;
}

// Pixels 0.. in groups of eight while they fit; answers the first not done.
template <DeviationDivisor Divisor>
QV_AVX2 int writeGroups(const DeviationRow& row, DeviationOutput output, int half, uint16_t* out)
{
    return output == DeviationOutput::Raise ? writeAvx2<Divisor, DeviationOutput::Raise>(row, half, out)
                                            : writeAvx2<Divisor, DeviationOutput::Store>(row, half, out);
}

}  // namespace

QV_AVX2 void writeDeviationsAvx2(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                                 uint16_t* out)
{
    const int done = divisor == DeviationDivisor::OtherPixels
                         ? writeGroups<DeviationDivisor::OtherPixels>(row, output, half, out)
                         : writeGroups<DeviationDivisor::QuarterWindow>(row, output, half, out);
    writeDeviationsPlain({row.luma + done, row.sum + done, row.pixels + done, row.count - done}, divisor, output, half,
                         out + done);
}

}  // namespace qv
