// The range scanner's row loops, 16 columns at a time; the columns left
// over go through the plain loops.
#include "engine/kernels/simd_avx2.h"
#include "engine/kernels/range_scanner.h"

namespace qv {

using avx2::load;
using avx2::store;

QV_AVX2 void widenRangesAvx2(const uint16_t* inMin, const uint16_t* inMax, uint16_t* outMin, uint16_t* outMax, int n,
                             bool fromCentre)
{
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        __m256i lo = _mm256_min_epu16(load(inMin + x - 1), load(inMin + x + 1));
        __m256i hi = _mm256_max_epu16(load(inMax + x - 1), load(inMax + x + 1));
        if (fromCentre) {
            lo = _mm256_min_epu16(lo, load(inMin + x));
            hi = _mm256_max_epu16(hi, load(inMax + x));
        }
        store(outMin + x, lo);
        store(outMax + x, hi);
    }
    widenRanges(inMin + x, inMax + x, outMin + x, outMax + x, n - x, fromCentre);
}

QV_AVX2 void mergeRangesAvx2(const uint16_t* inMin, const uint16_t* inMax, uint16_t* accMin, uint16_t* accMax, int n)
{
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        store(accMin + x, _mm256_min_epu16(load(accMin + x), load(inMin + x)));
        store(accMax + x, _mm256_max_epu16(load(accMax + x), load(inMax + x)));
    }
    mergeRanges(inMin + x, inMax + x, accMin + x, accMax + x, n - x);
}

}  // namespace qv
