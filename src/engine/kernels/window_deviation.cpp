#include "engine/kernels/window_deviation.h"

#include <algorithm>
#include <cmath>

#include "engine/kernels/simd.h"

namespace qv {

// Windows hold fewer than 2^37 pixels (images at most 2^28), so N * v and
// the window sum stay below 2^53: the numerator a is exact in double
// precision, and so is the divisor b (a quarter is an exact division by a
// power of two, its floor exact too). a / b lies at least 1 / b away from
// every whole number it does not equal, while correct rounding moves it by
// at most |a / b| * 2^-53 < 1 / b: it never rounds onto or across a whole
// number, and truncating it gives the integer quotient, toward zero for
// either sign.

namespace {

template <DeviationDivisor Divisor, DeviationOutput Output>
void writePlain(const DeviationRow& row, int half, uint16_t* out)
{
    for (int i = 0; i < row.count; ++i) {
        const double others = row.pixels[i] - 1.0;
        const double divisor = std::max(Divisor == DeviationDivisor::OtherPixels ? others : std::floor(others / 4.0), 1.0);
        const double deviation = (row.pixels[i] * row.luma[i] - row.sum[i]) / divisor;
        // |deviation| <= 7 * 65535 (pixels - 1 over its quarter is at most 7).
        const auto q = static_cast<uint16_t>(std::clamp(static_cast<int>(deviation) + half, 0, 65535));
        out[i] = Output == DeviationOutput::Raise ? std::max(out[i], q) : q;
    }
}

template <DeviationDivisor Divisor>
void writeTo(const DeviationRow& row, DeviationOutput output, int half, uint16_t* out)
{
    if (output == DeviationOutput::Raise)
        writePlain<Divisor, DeviationOutput::Raise>(row, half, out);
    else
        writePlain<Divisor, DeviationOutput::Store>(row, half, out);
}

}  // namespace

void writeDeviationsPlain(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                          uint16_t* out)
{
    if (divisor == DeviationDivisor::OtherPixels)
        writeTo<DeviationDivisor::OtherPixels>(row, output, half, out);
    else
        writeTo<DeviationDivisor::QuarterWindow>(row, output, half, out);
}

DeviationWriter deviationWriter() { return pickKernel(writeDeviationsPlain, QV_AVX2_TWIN(writeDeviationsAvx2)); }

}  // namespace qv
