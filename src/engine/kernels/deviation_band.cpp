#include "engine/kernels/deviation_band.h"

#include <cstddef>

#include "engine/kernels/box_windows.h"
#include "engine/pipeline/stage_runner.h"

namespace qv {

bool writeBandDeviations(WorkItem& item, const DeviationBand& band)
{
    const int w = item.width;
    const int half = item.valueScale / 2;
    BoxWindows windows(band.plane, w, item.height, band.radius, band.columnSums);
    windows.startAt(item.firstRow);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const uint16_t* row = band.plane + static_cast<std::size_t>(y) * w;
        uint16_t* out = band.out + static_cast<std::size_t>(y) * w;
        windows.forEachChunk(y, [&](int x0, int count, const double* sum, const double* pixels) {
            band.write({row + x0, sum, pixels, count}, band.divisor, band.output, half, out + x0);
        });
        if (y + 1 < item.endRow)
            windows.advance(y);
        if (!item.tick())
            return false;
    }
    return true;
}

}  // namespace qv
