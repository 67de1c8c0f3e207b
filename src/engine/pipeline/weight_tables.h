#pragma once

namespace qv {

struct PipelineState;

// Entries of the exponent tables: the second table has as many entries as
// the planes have code values, the first twice as many.
inline constexpr int kWeightTableScale = 65536;

// Fills the two exponent tables of the state, with n = kWeightTableScale,
// a = n - 1 and b = a / 2 held in single precision:
//   first[i]  = (a / (b + i) - 1) * 1.1 + 1, i < 2n (2.1 down to 0.34)
//   second[i] = (a / (b + i) - 1) * 2.4 + 1, i < n  (3.4 down to 0.2)
// each evaluated in double from single-precision operands and stored as
// float. False when the tables are not allocated at their full size.
bool fillWeightTables(PipelineState& state);

}  // namespace qv
