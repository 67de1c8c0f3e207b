#pragma once

namespace qv::cli {

// Ctrl+C while the tool runs: the handler only records the request in a
// lock-free flag; the waiting main thread sees it and sets the pipeline's
// abort flag, so every worker stops at its next row. A second Ctrl+C ends the
// tool the ordinary way.
void installInterruptHandler();
bool interruptRequested();

}  // namespace qv::cli
