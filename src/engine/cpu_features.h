#pragma once

namespace qv {

// True when the processor runs AVX2 code; checked once.
bool cpuHasAvx2();

}  // namespace qv
