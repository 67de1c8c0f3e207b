// The spreading down a strip of 32 columns, walked along the rows with
// AVX-512: one lane per column. The strip's values are first copied, row
// after row (64 bytes each), to scratch, which the walk reads in order while
// the means replace the values in the plane; the columns are never turned
// into lines. A receiving row steps over the rows that send to it, as the
// walk along a line steps over the pixels (short_spreading_avx512.cpp);
// but a spread's "went on" flags belong to its sending row and are kept in
// a ring of masks, one per sending row, rather than shifted from lane to
// lane, so the steps of one receiving row do not wait for one another.
#include <algorithm>
#include <cstddef>

#include "engine/stages/detail/detail_spreading.h"
#include "engine/stages/detail/short_spreading.h"
#include "engine/stages/detail/spread_lanes_avx512.h"

namespace qv {

namespace {

using spread_lanes::kLanes, spread_lanes::Lanes, spread_lanes::Meeting, spread_lanes::Received;

static_assert(kStripWidth == kLanes);
static_assert(stripWalkExactUpTo(kShortReachAvx512));

// The tolerance's constants for the meeting of spreads and pixels.
struct Band {
    __m512i tolerance;
    __m512i minusDown;
    __m512i up;
    int interval;  // steps before the 16-bit offsets are moved into the sums
};

// Steps first .. last of receiving row q: the spread from row q - Dir d
// meets it at step d, in the columns whose flag of that row is still set;
// the flags keep the columns where the spread goes on.
template <int Dir>
QV_AVX512 inline void walkRow(const uint16_t* values, const Band& band, const Meeting& meeting, int q, int first,
                              int last, uint32_t* flags, Received& received)
{
    for (int d = first; d <= last;) {
        for (const int flushAt = std::min(last + 1, d + band.interval); d < flushAt; ++d) {
            const int sender = q - Dir * d;
            uint32_t& going = flags[sender & (kStripRing - 1)];
            Lanes inside;
            received.add(meeting.received(avx512::load(values + kLanes * sender), band.minusDown, band.up, inside),
                         _cvtu32_mask32(going));
            going &= _cvtmask32_u32(inside);
        }
        received.flush();
    }
}

QV_AVX512 __m512i lumaRow(const ColumnStrip& strip, Lanes columns, int y)
{
    return _mm512_maskz_loadu_epi16(columns, strip.luma + static_cast<std::size_t>(y) * strip.lumaStride);
}

// What 16 pixels received from above, packed; and unpacked into counts and offsets.
QV_AVX512 __m512i packed(__m512i offsets, __m512i counts)
{
    return _mm512_add_epi32(_mm512_slli_epi32(offsets, kStripCountBits), counts);
}
QV_AVX512 __m512i countsOf(__m512i packed)
{
    return _mm512_and_si512(packed, _mm512_set1_epi32((1 << kStripCountBits) - 1));
}
QV_AVX512 __m512i offsetsOf(__m512i packed) { return _mm512_srai_epi32(packed, kStripCountBits); }

// The means of 16 pixels: (offsets + count * luma) / count.
QV_AVX512 __m256i meansOf16(__m512i offsets, __m512i counts, __m512i luma)
{
    const __m512i sums = _mm512_add_epi32(offsets, _mm512_mullo_epi32(counts, luma));
    const __m512i means = _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(sums), _mm512_cvtepi32_ps(counts)));
    return _mm512_cvtusepi32_epi16(means);
}

}  // namespace

QV_AVX512 void spreadStripAvx512(const ColumnStrip& strip, SpreadReach reach, int tolerance, StripScratch& scratch)
{
    const int h = strip.rows;
    const Lanes columns = avx512::firstLanes(strip.columns);
    auto valuesRow = [&](int y) { return strip.values + static_cast<std::size_t>(y) * strip.valuesStride; };
    uint16_t* const values = scratch.values.data();
    int32_t* const received = scratch.received.data();
    // Lanes past the strip's columns hold zeros and are never reached.
    // In halves of 16 columns: a plane row's 64 bytes often straddle two
    // cache lines, and a masked access that does is slow.
    const __mmask16 lowerColumns = static_cast<__mmask16>(columns);
    const __mmask16 upperColumns = static_cast<__mmask16>(columns >> 16);
    for (int y = 0; y < h; ++y) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(values + kLanes * y),
                            _mm256_maskz_loadu_epi16(lowerColumns, valuesRow(y)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(values + kLanes * y + 16),
                            _mm256_maskz_loadu_epi16(upperColumns, valuesRow(y) + 16));
    }

    const StopPull pull(tolerance);
    // Offsets within +-T add up in 16 signed bits for this many steps.
    const Band band{_mm512_set1_epi16(static_cast<short>(tolerance)),
                    _mm512_set1_epi16(static_cast<short>(-pull.down)), _mm512_set1_epi16(static_cast<short>(pull.up)),
                    avx2::flushInterval(2 * int64_t{tolerance})};
    uint32_t flags[kStripRing];

    // Downwards: the spread from row s meets row s + d at step d, d from 0;
    // every pixel's own spread reaches it at step 0.
    for (int q = 0; q < h; ++q) {
        const Meeting meeting(lumaRow(strip, columns, q), band.tolerance);
        Received from;
        flags[q & (kStripRing - 1)] = columns;
        walkRow<1>(values, band, meeting, q, 0, std::min(reach.forward - 1, q), flags, from);
        _mm512_storeu_si512(received + kLanes * q, packed(from.sumsLow, avx512::widenLower(from.counts)));
        _mm512_storeu_si512(received + kLanes * q + 16, packed(from.sumsHigh, avx512::widenUpper(from.counts)));
    }

    // Upwards: the spread from row s meets row s - d at step d, d from 1;
    // each row's means then go straight to the plane, as the walk reads the copy.
    for (int q = h - 1; q >= 0; --q) {
        const Meeting meeting(lumaRow(strip, columns, q), band.tolerance);
        Received from;
        if (q + 1 < h)
            flags[(q + 1) & (kStripRing - 1)] = columns;
        walkRow<-1>(values, band, meeting, q, 1, std::min(reach.back, h - 1 - q), flags, from);
        const __m512i lower = _mm512_loadu_si512(received + kLanes * q);
        const __m512i upper = _mm512_loadu_si512(received + kLanes * q + 16);
        const __m256i meansLower = meansOf16(_mm512_add_epi32(from.sumsLow, offsetsOf(lower)),
                                             _mm512_add_epi32(avx512::widenLower(from.counts), countsOf(lower)),
                                             avx512::widenLower(meeting.luma));
        const __m256i meansUpper = meansOf16(_mm512_add_epi32(from.sumsHigh, offsetsOf(upper)),
                                             _mm512_add_epi32(avx512::widenUpper(from.counts), countsOf(upper)),
                                             avx512::widenUpper(meeting.luma));
        _mm256_mask_storeu_epi16(valuesRow(q), lowerColumns, meansLower);
        _mm256_mask_storeu_epi16(valuesRow(q) + 16, upperColumns, meansUpper);
    }
}

}  // namespace qv
