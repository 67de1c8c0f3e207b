// The AVX2 loops of the blur; they run only after pickKernel chose them.

#include "engine/kernels/simd_avx2.h"

#include "engine/kernels/gaussian_blur_lanes.h"

namespace qv::blur_lanes {

namespace {

// Eight unsigned 32-bit values as two groups of four doubles.
struct Doubles {
    __m256d low, high;
};
QV_AVX2 inline Doubles toDoubles(__m256i values)
{
    const __m256i shifted = _mm256_xor_si256(values, _mm256_set1_epi32(INT32_MIN));
    const __m256d offset = _mm256_set1_pd(2147483648.0);
    return {_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(shifted)), offset),
            _mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(shifted, 1)), offset)};
}

// Exact quotients of eight unsigned 32-bit sums: in double precision a
// quotient below 2^16 of numbers below 2^32 truncates to the integer one.
QV_AVX2 inline __m256i quotients(__m256i sums, Doubles divisors)
{
    const Doubles numerators = toDoubles(sums);
    const __m128i low = _mm256_cvttpd_epi32(_mm256_div_pd(numerators.low, divisors.low));
    const __m128i high = _mm256_cvttpd_epi32(_mm256_div_pd(numerators.high, divisors.high));
    return _mm256_set_m128i(high, low);
}

// Sixteen values 0..65535 held as two groups of eight 32-bit lanes, in order.
QV_AVX2 inline __m256i packInOrder(__m256i low, __m256i high)
{
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8);
}

QV_AVX2 inline __m256i load(const uint32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QV_AVX2 inline __m256i weighted(__m256i acc, const uint32_t* end, const uint32_t* first, __m256i delta)
{
    return _mm256_add_epi32(acc, _mm256_mullo_epi32(_mm256_sub_epi32(load(end), load(first)), delta));
}

// Weights of the windows of positions x .. x + 7 clipped to the line.
QV_AVX2 inline __m256i clippedWeights(int x, int length, const GaussianKernel& kernel)
{
    const __m256i positions = _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    __m256i used = _mm256_setzero_si256();
    for (const KernelBox& box : kernel.boxes) {
        const __m256i end =
            _mm256_min_epi32(_mm256_add_epi32(positions, _mm256_set1_epi32(box.radius + 1)), _mm256_set1_epi32(length));
        const __m256i first =
            _mm256_max_epi32(_mm256_sub_epi32(positions, _mm256_set1_epi32(box.radius)), _mm256_setzero_si256());
        const __m256i delta = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(box.delta)));
        used = _mm256_add_epi32(used, _mm256_mullo_epi32(_mm256_sub_epi32(end, first), delta));
    }
    return used;
}

}  // namespace

QV_AVX2 int blurRowAvx2(const uint32_t* sums, uint16_t* out, int length, const GaussianKernel& kernel)
{
    const int reach = kernel.reach();
    const Doubles fullWeight = toDoubles(_mm256_set1_epi32(static_cast<int32_t>(kernel.sum)));
    int x = 0;
    for (; x + 16 <= length; x += 16) {
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        for (const KernelBox& box : kernel.boxes) {
            const __m256i delta = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(box.delta)));
            const uint32_t* windowEnd = sums + x + box.radius + 1;
            const uint32_t* windowFirst = sums + x - box.radius;
            low = weighted(low, windowEnd, windowFirst, delta);
            high = weighted(high, windowEnd + 8, windowFirst + 8, delta);
        }
        const bool inside = x >= reach && x + 16 <= length - reach;
        const Doubles lowWeights = inside ? fullWeight : toDoubles(clippedWeights(x, length, kernel));
        const Doubles highWeights = inside ? fullWeight : toDoubles(clippedWeights(x + 8, length, kernel));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            packInOrder(quotients(low, lowWeights), quotients(high, highWeights)));
    }
    return x;
}

QV_AVX2 void blurColumnBlockAvx2(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride,
                                 int height, const GaussianKernel& kernel, uint32_t* sums, int* bounds)
{
    static_assert(kColumnBlock == 16);
    __m256i runningLow = _mm256_setzero_si256();
    __m256i runningHigh = _mm256_setzero_si256();
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), runningLow);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 8), runningHigh);
    for (int y = 0; y < height; ++y) {
        const __m256i values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + y * inStride));
        runningLow = _mm256_add_epi32(runningLow, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(values)));
        runningHigh = _mm256_add_epi32(runningHigh, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(values, 1)));
        uint32_t* row = sums + (y + 1) * kColumnBlock;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row), runningLow);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 8), runningHigh);
    }

    const int boxCount = static_cast<int>(kernel.boxes.size());
    for (int y = 0; y < height; ++y) {
        const uint32_t used = rowWindows<uint32_t>(y, height, kernel, bounds);
        const Doubles divisor = toDoubles(_mm256_set1_epi32(static_cast<int32_t>(used)));
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        for (int b = 0; b < boxCount; ++b) {
            const __m256i delta = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(kernel.boxes[b].delta)));
            const uint32_t* windowFirst = sums + bounds[2 * b];
            const uint32_t* windowEnd = sums + bounds[2 * b + 1];
            low = weighted(low, windowEnd, windowFirst, delta);
            high = weighted(high, windowEnd + 8, windowFirst + 8, delta);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + y * outStride),
                            packInOrder(quotients(low, divisor), quotients(high, divisor)));
    }
}

}  // namespace qv::blur_lanes
