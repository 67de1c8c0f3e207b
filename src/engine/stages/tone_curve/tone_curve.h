#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// What a run of the stage takes from the settings.
struct ToneCurveParams {
    int contrast = 0;  // weight of the unchanged value, 0..100

    // Nothing when `Contrast` is out of its range.
    static std::optional<ToneCurveParams> from(const ToneSettings& settings);
};

// The locally adaptive tone curve: every luma value V is raised to an
// exponent chosen by the brightness B of its blurred neighbourhood (from
// the first weight table: bright surroundings darken, dark ones lighten),
// and the result is mixed with V in the proportion (100 - Contrast) :
// Contrast.
//
// `in` is the current luma, `out` the curve plane. The 7-tap blur of `in`
// is kept in the second half of the curve plane and recomputed only when
// `inputChanged` (since the last successful run); otherwise a run is the
// per-pixel mapping alone. False on abort, on a `Contrast` out of its range,
// or when the state's planes and table are missing.
bool runToneCurveStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out,
                       bool inputChanged);

// The per-pixel mapping of one row: for each x, with i = 65535 - B,
// gamma = exponents[2 i], p = (V / 65535)^gamma (the quotient in single,
// the power in double precision),
//   out = (trunc(p * 65535 * (100 - contrast)) + V * contrast) / 100.
// `exponents` is the first weight table; contrast 0..100.
using ToneCurveRowMapper = void (*)(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                                    const float* exponents, int contrast);
void mapToneCurveRowPlain(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                          const float* exponents, int contrast);

// The AVX2 mapping where it may run (the same bits), else the plain one;
// picked once per run.
ToneCurveRowMapper toneCurveRowMapper();

}  // namespace qv
