#include "engine/stages/detail/short_spreading.h"

#include <algorithm>
#include <cstdint>

#include "engine/kernels/simd_avx2.h"
#include "engine/stages/detail/long_spreading.h"
#include "engine/stages/detail/spread_lanes_avx2.h"

namespace qv {

namespace {

using spread_lanes_avx2::kLanes, spread_lanes_avx2::Meeting, spread_lanes_avx2::Received;

// Lanes moved one pixel towards the line's end, the first taken from the
// last lane of `before`; and one pixel towards its start, the last taken
// from the first lane of `after`.
QV_AVX2 __m256i shiftedUp(__m256i v, __m256i before)
{
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, before, 0x03), 14);
}
QV_AVX2 __m256i shiftedDown(__m256i v, __m256i after)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, after, 0x21), v, 2);
}

// The pixels of a line 16 at a time, the last vector padded; written back
// only as far as the line goes.
class LineVectors {
public:
    LineVectors(const uint16_t* luma, int length) : luma_(luma), length_(length) {}

    int count() const { return (length_ + kLanes - 1) / kLanes; }

    QV_AVX2 __m256i luma(int k)
    {
        const int first = kLanes * k;
        if (first + kLanes <= length_)
            return avx2::load(luma_ + first);
        std::fill(std::copy(luma_ + first, luma_ + length_, lastLuma_), lastLuma_ + kLanes, uint16_t{0});
        return avx2::load(lastLuma_);
    }

    // The pairs of vector k, of luminance `luma`, written (or added to `pairs`).
    template <bool Accumulate>
    QV_AVX2 void write(int k, const Received& received, __m256i luma, uint32_t* pairs)
    {
        const int first = kLanes * k;
        if (first + kLanes <= length_)
            return received.write<Accumulate>(luma, pairs + 2 * first);
        const int values = 2 * (length_ - first);
        if constexpr (Accumulate)
            std::copy(pairs + 2 * first, pairs + 2 * first + values, lastPairs_);
        received.write<Accumulate>(luma, lastPairs_);
        std::copy(lastPairs_, lastPairs_ + values, pairs + 2 * first);
    }

private:
    const uint16_t* luma_;
    int length_;
    uint16_t lastLuma_[kLanes];
    uint32_t lastPairs_[2 * kLanes];
};

// The steps first .. last of one vector of pixels: step d meets the spreads
// of the values d pixels before the vector (Dir = 1) or after it (Dir =
// -1), those in `reaching` adding what they bring; the flags of the spreads
// that go on move one lane towards the line's end (or start), the lane
// entering the vector taken from the neighbouring vector's flags of the
// same step in `carried`, which then receives this vector's.
template <int Dir>
QV_AVX2 inline void walkVector(const Meeting& meeting, const uint16_t* values, int first, int last, int interval,
                               __m256i reaching, __m256i minusDown, __m256i up, __m256i* carried,
                               Received& received)
{
    for (int d = first; d <= last;) {
        for (const int flushAt = std::min(last + 1, d + interval); d < flushAt; ++d) {
            __m256i inside;
            received.add(meeting.received(avx2::load(values - Dir * d), minusDown, up, inside), reaching);
            const __m256i wentOn = _mm256_and_si256(reaching, inside);
            reaching = Dir > 0 ? shiftedUp(wentOn, carried[d]) : shiftedDown(wentOn, carried[d]);
            carried[d] = wentOn;
        }
        received.flush();
    }
}

}  // namespace

// The walk goes by the pixels that receive: for each vector of 16 pixels,
// step d brings the spreads from d pixels before them (towards the end) or
// after them (towards the start). A spread reaches a pixel at step d + 1
// when it reached the previous pixel at step d and was inside there: the
// previous step's flags of the spreads that went on, moved by one lane, the
// lane entering the vector carried from the neighbouring vector's same
// step. Sums and counts stay in registers until the vector's steps are done.
QV_AVX2 void spreadShortLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                                 uint32_t* pairs)
{
    const int n = line.length;
    // The values are read up to a reach before the first pixel and a vector
    // plus a reach after the last, from a copy with room there; no spread
    // comes from there, as the flags entering the line are clear.
    uint16_t* values = scratch.shortValues.data() + kShortReach;
    std::copy(line.values, line.values + n, values);
    const __m256i t = _mm256_set1_epi16(static_cast<short>(tolerance));
    const StopPull pull(tolerance);
    const __m256i minusDown = _mm256_set1_epi16(static_cast<short>(-pull.down));
    const __m256i up = _mm256_set1_epi16(static_cast<short>(pull.up));
    // Offsets within +-T add up in 16 signed bits for this many steps.
    const int interval = avx2::flushInterval(2 * int64_t{tolerance});
    LineVectors vectors(line.luma, n);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i all = _mm256_set1_epi16(-1);
    __m256i carried[kShortReach + 1];

    // Towards the end: the spread from x meets pixel x + d at step d, d from
    // 0; every pixel's own spread reaches it at step 0.
    std::fill(carried, carried + kShortReach + 1, zero);
    for (int k = 0; k < vectors.count(); ++k) {
        const Meeting meeting(vectors.luma(k), t);
        const uint16_t* from = values + kLanes * k;
        Received received;
        walkVector<1>(meeting, from, 0, reach.forward - 1, interval, all, minusDown, up, carried, received);
        vectors.write<false>(k, received, meeting.luma, pairs);
    }
    // Towards the start: the spread from x meets pixel x - d at step d, d
    // from 1; at step 1 every pixel but the last is reached by the spread
    // from the pixel after it.
    std::fill(carried, carried + kShortReach + 1, zero);
    for (int k = vectors.count() - 1; k >= 0; --k) {
        const Meeting meeting(vectors.luma(k), t);
        const uint16_t* from = values + kLanes * k;
        Received received;
        const int followed = n - 1 - kLanes * k;  // pixels of the vector with a pixel after them
        walkVector<-1>(meeting, from, 1, reach.back, interval, avx2::firstLanes(followed), minusDown, up, carried,
                       received);
        vectors.write<true>(k, received, meeting.luma, pairs);
    }
}

void spreadLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                    uint32_t* pairs)
{
    if (std::max(reach.back, reach.forward) <= kShortReach && tolerance <= kShortTolerance)
        spreadShortLineAvx2(line, reach, tolerance, scratch, pairs);
    else if (blockSearchTakes(reach))
        spreadLongLineAvx2(line, reach, tolerance, scratch, pairs);
    else
        spreadLine(line, reach, tolerance, scratch, pairs);
}

}  // namespace qv
