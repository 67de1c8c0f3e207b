#pragma once

#include <cstdint>

#include "engine/kernels/window_deviation.h"

namespace qv {

struct WorkItem;

// What a band's deviations are taken of and where they go.
struct DeviationBand {
    const uint16_t* plane;  // W x H, the item's width and height
    int radius;             // of the (2r+1)-square windows, clipped to the image
    uint32_t* columnSums;   // one row of W, the worker's own
    DeviationDivisor divisor;
    DeviationOutput output;
    uint16_t* out;          // W x H
    DeviationWriter write;  // the row loop, chosen once per run
};

// Each pixel's deviation from its window, centred on the middle of the
// item's value scale, over the rows of the item's band. One progress unit
// per row; false once the stage stops.
bool writeBandDeviations(WorkItem& item, const DeviationBand& band);

}  // namespace qv
