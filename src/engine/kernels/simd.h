#pragma once

namespace qv {

// Whether the AVX2 loops may run: the processor has AVX2 and they have not
// been switched off. Every vectorised loop has a plain twin that gives the
// same bits; the plain one runs on any x86-64.
bool avx2Enabled();

// Switches the vectorised loops off (false) or back on where the processor
// has them (true). For tests and benchmarks that compare both paths; not to
// be changed while a stage runs.
void setSimdEnabled(bool enabled);

}  // namespace qv
