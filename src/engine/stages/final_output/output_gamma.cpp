#include "engine/stages/final_output/output_gamma.h"

#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

namespace qv {

float outputGammaExponent(int gamma)
{
    return 1.0f / (static_cast<float>(gamma) * 0.1f + 0.4f);
}

float applyOutputGamma(uint16_t y, int gamma)
{
    if (gamma == kNeutralOutputGamma)
        return static_cast<float>(y);
    return 65535.0f * std::pow(static_cast<float>(y) / 65535.0f, outputGammaExponent(gamma));
}

const float* outputGammaTable(int gamma)
{
    struct Slot {
        std::once_flag built;
        std::unique_ptr<float[]> values;
    };
    static std::array<Slot, kMaxOutputGamma + 1> slots;
    if (gamma < 0 || gamma > kMaxOutputGamma)
        return nullptr;
    Slot& slot = slots[gamma];
    std::call_once(slot.built, [&] {
        slot.values.reset(new (std::nothrow) float[65536]);
        if (!slot.values)
            return;
        for (int y = 0; y < 65536; ++y)
            slot.values[y] = applyOutputGamma(static_cast<uint16_t>(y), gamma);
    });
    return slot.values.get();
}

}  // namespace qv
