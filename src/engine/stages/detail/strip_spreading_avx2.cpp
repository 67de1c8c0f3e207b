// The spreading down a strip of 32 columns, walked along the rows with
// AVX2: one lane per column, the strip's two halves of 16 columns side by
// side, as strip_spreading_avx512.cpp walks them in one vector. The
// strip's values are first copied, row after row, to scratch, which the
// walk reads in order while the means replace the values in the plane; a
// spread's "went on" flags belong to its sending row and are kept in a
// ring, one pair of vectors per sending row, so the steps of one receiving
// row do not wait for one another.
#include <algorithm>
#include <cstddef>

#include "engine/stages/detail/detail_spreading.h"
#include "engine/stages/detail/short_spreading.h"
#include "engine/stages/detail/spread_lanes_avx2.h"

namespace qv {

namespace {

using spread_lanes_avx2::kLanes, spread_lanes_avx2::Meeting, spread_lanes_avx2::Received;

constexpr int kHalves = kStripWidth / kLanes;
static_assert(kHalves * kLanes == kStripWidth);
static_assert(stripWalkExactUpTo(kShortReach));

// The tolerance's constants for the meeting of spreads and pixels.
struct Band {
    __m256i tolerance;
    __m256i minusDown;
    __m256i up;
    int interval;  // steps before the 16-bit offsets are moved into the sums
};

// One row of the strip, both halves.
struct StripRow {
    __m256i half[kHalves];
};

// The `columns` (1..32) of a strip's row from `row` on, zeros past them.
QV_AVX2 StripRow loadRow(const uint16_t* row, int columns)
{
    if (columns == kStripWidth)
        return {{avx2::load(row), avx2::load(row + kLanes)}};
    alignas(32) uint16_t part[kStripWidth] = {};
    std::copy(row, row + columns, part);
    return {{avx2::load(part), avx2::load(part + kLanes)}};
}

QV_AVX2 void storeRow(uint16_t* row, int columns, const StripRow& v)
{
    if (columns == kStripWidth) {
        avx2::store(row, v.half[0]);
        avx2::store(row + kLanes, v.half[1]);
        return;
    }
    alignas(32) uint16_t part[kStripWidth];
    avx2::store(part, v.half[0]);
    avx2::store(part + kLanes, v.half[1]);
    std::copy(part, part + columns, row);
}

// Steps first .. last of receiving row q: the spread from row q - Dir d
// meets it at step d, in the columns whose flag of that row is still set;
// the flags keep the columns where the spread goes on.
template <int Dir>
QV_AVX2 inline void walkRow(const uint16_t* values, const Band& band, const Meeting (&meeting)[kHalves], int q,
                            int first, int last, StripRow* flags, Received (&received)[kHalves])
{
    for (int d = first; d <= last;) {
        for (const int flushAt = std::min(last + 1, d + band.interval); d < flushAt; ++d) {
            const int sender = q - Dir * d;
            StripRow& going = flags[sender & (kStripRing - 1)];
            for (int h = 0; h < kHalves; ++h) {
                __m256i inside;
                const __m256i value = avx2::load(values + kStripWidth * sender + kLanes * h);
                received[h].add(meeting[h].received(value, band.minusDown, band.up, inside), going.half[h]);
                going.half[h] = _mm256_and_si256(going.half[h], inside);
            }
        }
        for (Received& r : received)
            r.flush();
    }
}

// What 8 pixels received from above, packed; and unpacked into counts and offsets.
QV_AVX2 __m256i packed(__m256i offsets, __m256i counts)
{
    return _mm256_add_epi32(_mm256_slli_epi32(offsets, kStripCountBits), counts);
}
QV_AVX2 __m256i countsOf(__m256i packed)
{
    return _mm256_and_si256(packed, _mm256_set1_epi32((1 << kStripCountBits) - 1));
}
QV_AVX2 __m256i offsetsOf(__m256i packed) { return _mm256_srai_epi32(packed, kStripCountBits); }

QV_AVX2 __m256i lower8(__m256i v) { return _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)); }
QV_AVX2 __m256i upper8(__m256i v) { return _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1)); }

// The means of 8 pixels: (offsets + count * luma) / count.
QV_AVX2 __m256i meansOf8(__m256i offsets, __m256i counts, __m256i luma)
{
    const __m256i sums = _mm256_add_epi32(offsets, _mm256_mullo_epi32(counts, luma));
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(sums), _mm256_cvtepi32_ps(counts)));
}

}  // namespace

QV_AVX2 void spreadStripAvx2(const ColumnStrip& strip, SpreadReach reach, int tolerance, StripScratch& scratch)
{
    const int h = strip.rows;
    const int columns = strip.columns;
    auto valuesRow = [&](int y) { return strip.values + static_cast<std::size_t>(y) * strip.valuesStride; };
    auto lumaRow = [&](int y) { return strip.luma + static_cast<std::size_t>(y) * strip.lumaStride; };
    uint16_t* const values = scratch.values.data();
    int32_t* const received = scratch.received.data();
    // Lanes past the strip's columns hold zeros and are never reached.
    for (int y = 0; y < h; ++y) {
        const StripRow row = loadRow(valuesRow(y), columns);
        for (int k = 0; k < kHalves; ++k)
            avx2::store(values + kStripWidth * y + kLanes * k, row.half[k]);
    }

    const StopPull pull(tolerance);
    // Offsets within +-T add up in 16 signed bits for this many steps.
    const Band band{_mm256_set1_epi16(static_cast<short>(tolerance)),
                    _mm256_set1_epi16(static_cast<short>(-pull.down)), _mm256_set1_epi16(static_cast<short>(pull.up)),
                    avx2::flushInterval(2 * int64_t{tolerance})};
    const StripRow inStrip{{avx2::firstLanes(columns), avx2::firstLanes(columns - kLanes)}};
    StripRow flags[kStripRing];

    // Downwards: the spread from row s meets row s + d at step d, d from 0;
    // every pixel's own spread reaches it at step 0.
    for (int q = 0; q < h; ++q) {
        const StripRow luma = loadRow(lumaRow(q), columns);
        const Meeting meeting[kHalves] = {Meeting(luma.half[0], band.tolerance), Meeting(luma.half[1], band.tolerance)};
        Received from[kHalves];
        flags[q & (kStripRing - 1)] = inStrip;
        walkRow<1>(values, band, meeting, q, 0, std::min(reach.forward - 1, q), flags, from);
        int32_t* row = received + kStripWidth * q;
        for (int k = 0; k < kHalves; ++k) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + kLanes * k),
                                packed(from[k].sumsLow, lower8(from[k].counts)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + kLanes * k + 8),
                                packed(from[k].sumsHigh, upper8(from[k].counts)));
        }
    }

    // Upwards: the spread from row s meets row s - d at step d, d from 1;
    // each row's means then go straight to the plane, as the walk reads the copy.
    for (int q = h - 1; q >= 0; --q) {
        const StripRow luma = loadRow(lumaRow(q), columns);
        const Meeting meeting[kHalves] = {Meeting(luma.half[0], band.tolerance), Meeting(luma.half[1], band.tolerance)};
        Received from[kHalves];
        if (q + 1 < h)
            flags[(q + 1) & (kStripRing - 1)] = inStrip;
        walkRow<-1>(values, band, meeting, q, 1, std::min(reach.back, h - 1 - q), flags, from);
        const int32_t* row = received + kStripWidth * q;
        StripRow means;
        for (int k = 0; k < kHalves; ++k) {
            const __m256i above[2] = {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + kLanes * k)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + kLanes * k + 8))};
            const __m256i lower = meansOf8(_mm256_add_epi32(from[k].sumsLow, offsetsOf(above[0])),
                                           _mm256_add_epi32(lower8(from[k].counts), countsOf(above[0])),
                                           lower8(luma.half[k]));
            const __m256i upper = meansOf8(_mm256_add_epi32(from[k].sumsHigh, offsetsOf(above[1])),
                                           _mm256_add_epi32(upper8(from[k].counts), countsOf(above[1])),
                                           upper8(luma.half[k]));
            // Packing works within halves: put the pixels back in order.
            means.half[k] = _mm256_permute4x64_epi64(_mm256_packus_epi32(lower, upper), 0xD8);
        }
        storeRow(valuesRow(q), columns, means);
    }
}

}  // namespace qv
