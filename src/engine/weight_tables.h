#pragma once

namespace qv {

struct PipelineState;

// Fills the state's two float weight tables (already allocated): with
// n = 65536, a = n - 1 and b = a / 2, entry i of the first table (2n entries)
// is (a / (b + i) - 1) * 1.1 + 1 and of the second (n entries)
// (a / (b + i) - 1) * 2.4 + 1, evaluated in double from single-precision
// operands and stored as float.
void fillWeightTables(PipelineState& state);

}  // namespace qv
