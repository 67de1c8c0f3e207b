#pragma once

#include <algorithm>
#include <cstdint>

namespace qv {

// The planes of one row of the merging stage; chroma rows hold (U, V) pairs.
struct MergeRow {
    const uint16_t* source;       // L, the unprocessed luminance
    const uint16_t* area;         // A
    const uint16_t* processed;    // Y, the processed luma
    const int16_t* sourceChroma;  // (Us, Vs)
    const uint16_t* workingBgr;   // the 48-bit source pixels (artistic mode only)
    uint16_t* luma;               // Ym
    int16_t* chroma;              // (Um, Vm)
    int width;
    int valueScale;
};

// Merged chroma: a value truncated to an integer and limited to +-32767.
template <class T>
int16_t limitChroma(T value)
{
    constexpr int kChromaLimit = 32767;
    return static_cast<int16_t>(std::clamp(static_cast<int>(value), -kChromaLimit, kChromaLimit));
}

// Natural (halfway) and vivid modes: the source colour scaled by the change
// of brightness, halfway towards unscaled in the natural mode.
void scaleChromaPixels(const MergeRow& row, bool halfway, int begin, int end);
// Artistic mode: each source colour with its HSL lightness moved as far
// towards white as the processed luma moved, measured from the white end,
// in double precision.
void relightPixels(const MergeRow& row, int begin, int end);
// The merged luma and chroma mixed with the unprocessed source by the
// weight in percent of each pixel's area brightness.
void blendPixels(const MergeRow& row, const uint8_t* weights, int begin, int end);

// Whole rows of each, picked once per run: the AVX2 ones (the same results
// from the same operations, several pixels at a time) where they may run,
// and AVX-512 for the artistic mode's.
// The blend's weight table must have three readable bytes past its end.
struct MergeRowLoops {
    void (*scaleChroma)(const MergeRow& row, bool halfway);
    void (*relight)(const MergeRow& row);
    void (*blend)(const MergeRow& row, const uint8_t* weights);

    static MergeRowLoops pick();
};

void scaleChromaRowAvx2(const MergeRow& row, bool halfway);
void relightRowAvx2(const MergeRow& row);
void relightRowAvx512(const MergeRow& row);
void blendRowAvx2(const MergeRow& row, const uint8_t* weights);

}  // namespace qv
