#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

// How far the values of a line are spread from each of its pixels: over at
// most `back` pixels towards the line's start, beginning with the previous
// pixel, and over at most `forward` pixels towards its end, beginning with
// the pixel itself.
struct SpreadReach {
    int back;
    int forward;
};

// One row or column: its luminance and the value spread from each pixel.
struct SpreadLine {
    const uint16_t* luma;
    const uint16_t* values;
    int length;
};

// Working memory of the fast spreading, sized once per worker and reused
// from line to line.
struct SpreadScratch {
    std::vector<uint16_t> paddedLuma; // the line's luminance with guard pixels on both sides
    // Range table, one level after the other: per block, 65535 - its lowest
    // luminance and its highest luminance, so that two blocks merge with max.
    std::vector<uint16_t> extents;
    // Luminance extents within blocks of the longest run: from each block's
    // start up to each pixel, and from each pixel to its block's end.
    std::vector<uint16_t> blockHeads;
    std::vector<uint16_t> blockTails;
    std::vector<uint64_t> steps;      // differences of (count, sum), zero between lines
    std::vector<uint8_t> fullRuns;    // per pixel and direction: whether its spread meets no stop within its reach
    // The walk of short reaches: the spread values in 16 bits, with room to
    // read past both ends of the line.
    std::vector<uint16_t> shortValues;
    // The block search of long reaches: the line laid out in planes of
    // whole blocks, once for each direction.
    std::vector<uint16_t> blockLine;

    // Room for lines of up to `length` pixels and reaches up to `maxReach`;
    // false when the memory cannot be had.
    bool reserve(int length, int maxReach);
};

// What the pixel where a spread stops receives: its own luminance pulled 2/3
// of the tolerance towards the spread value, rounded down: (3 L - 2T) / 3
// above the value, (3 L + 2T) / 3 below it (both numerators positive at a
// stop), that is L - ceil(2T / 3) and L + floor(2T / 3).
struct StopPull {
    int32_t down;
    int32_t up;
    explicit StopPull(int32_t tolerance) : down((2 * tolerance + 2) / 3), up(2 * tolerance / 3) {}
    int32_t operator()(int32_t luma, int32_t value) const { return luma > value ? luma - down : luma + up; }
};

// Spreads the value of every pixel of a line along it and stores, per pixel,
// the pair (sum, count) of everything that reached it (pairs: 2 * length
// values). A spread stops at the first pixel whose luminance lies more than
// `tolerance` away from the value; that pixel still receives a value: its own
// luminance pulled 2/3 of the tolerance towards the spread value.
using LineSpreadFn = void (*)(const SpreadLine&, SpreadReach, int tolerance, SpreadScratch&, uint32_t* pairs);

// The cost per pixel grows far more slowly than the reach: each spread adds
// one value over a run of pixels, recorded as two differences; whether a
// spread runs its whole reach is decided four spreads at a time, and the
// end of any other is mostly found with one range-table probe up to where
// the neighbouring spread stopped and a test of that pixel or one 16-pixel
// scan. Reaches of up to kShortReach (40) pixels are walked instead, 16
// receiving pixels at a time, where the processor has AVX2 and the
// tolerance is at most kShortTolerance (32767): cheaper there than
// searching. With AVX-512, 32 pixels at a time and reaches up to
// kShortReachAvx512 (47). Longer reaches, and larger tolerances, are
// searched block by block for 16 spreads at once with AVX2 and 32 with
// AVX-512 (long_spreading.h).
void spreadLine(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs);
void spreadLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                    uint32_t* pairs);
void spreadLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                      uint32_t* pairs);

// The widest vector spreading that may run, else spreadLine; picked once per run.
LineSpreadFn fastLineSpreading();

// The most columns a strip walk takes: one AVX-512 vector of 16-bit lanes,
// two AVX2 ones.
constexpr int kStripWidth = 32;

// A strip of up to kStripWidth neighbouring columns of two planes stored row by row:
// the luminance, and the value spread from each pixel, which receives the
// mean of the spreading.
struct ColumnStrip {
    const uint16_t* luma;      // the strip's first pixel in the first row
    std::size_t lumaStride;    // pixels from one row to the next
    uint16_t* values;          // the same for the values
    std::size_t valuesStride;
    int rows;
    int columns;  // 1..kStripWidth
};

// Working memory of the strip walk, sized once per worker: the strip's
// values copied row after row, and what each pixel received from above,
// kept until what comes from below is added.
struct StripScratch {
    std::vector<uint16_t> values;
    std::vector<int32_t> received;

    // Room for strips of up to `rows` rows; false when the memory cannot be had.
    bool reserve(int rows);
};

// Spreads the values of each column of a strip along it (`back`: upwards,
// `forward`: downwards) and stores in place of every value the mean of what
// reached its pixel: what spreadLine and the means of its pairs give each
// column. Walked along the rows, one lane per column, from a copy of the
// strip's values whose rows follow one another, so that no column is
// turned into a line; the luminance is read in place, best with its rows
// following one another too (lumaStride = columns). Only for the reaches
// and tolerances stripSpreadingTakes allows.
using StripSpreadFn = void (*)(const ColumnStrip& strip, SpreadReach reach, int tolerance, StripScratch& scratch);
void spreadStripAvx2(const ColumnStrip& strip, SpreadReach reach, int tolerance, StripScratch& scratch);
void spreadStripAvx512(const ColumnStrip& strip, SpreadReach reach, int tolerance, StripScratch& scratch);
// Whether the strip walk that fastStripSpreading picks takes on a reach
// and tolerance: those the walk along a line of the same vector width does.
bool stripSpreadingTakes(SpreadReach reach, int tolerance);

// The strip walk where the processor has AVX2 or AVX-512; nothing elsewhere
// (the columns are then copied into lines and spread as lines).
StripSpreadFn fastStripSpreading();

// The search without vector instructions; gives the same bits.
void spreadLinePlain(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                     uint32_t* pairs);

// Walks every spread pixel by pixel. The reference for the fast spreading in
// tests and benchmarks; needs no scratch.
void spreadLineLiteral(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                       uint32_t* pairs);

}  // namespace qv
