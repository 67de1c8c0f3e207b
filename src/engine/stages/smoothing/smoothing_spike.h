#pragma once

#include <cstdint>

namespace qv {

// How readily the spike test replaces a pixel by its neighbours' mean.
struct SpikeRule {
    uint32_t jumpLimit;       // a larger step between ring neighbours makes the ring rough
    int outlierShift;         // the pixel stands out when |C - mean| > G >> outlierShift
    int closeShift;           // neighbours within G >> closeShift of C count as like it
    int maxLikeNeighbours;    // replaced when at most this many neighbours are like it
};

// The filter of pixels x .. x+15 of row y, all with eight neighbours inside
// the image, at once.
using SpikeBlockFn = void (*)(const uint16_t* in, int width, int x, int y, const SpikeRule& rule, uint16_t* out);
void spikeFilterInteriorAvx2(const uint16_t* in, int width, int x, int y, const SpikeRule& rule, uint16_t* out);

// The AVX2 block filter where it may run, else null; picked once per run.
SpikeBlockFn spikeBlockFilter();

// Row y of `out` := row y of the width x height plane `in`, with every pixel
// that stands out from its eight neighbours replaced by their mean. With
// `blocks` (not null) pixels inside the image go 16 at a time.
void spikeFilterRow(const uint16_t* in, int width, int height, int y, const SpikeRule& rule, SpikeBlockFn blocks,
                    uint16_t* out);

}  // namespace qv
