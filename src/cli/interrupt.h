#pragma once

namespace qv::cli {

// Ctrl+C, SIGTERM (kill, timeout) and SIGHUP (a closed terminal) while the
// tool runs: the handler only records the signal in a lock-free flag; the
// waiting main thread sees it and sets the pipeline's abort flag, so every
// worker stops at its next row and the run ends with 128 + the signal's
// number. A second signal ends the tool at once, for when a step does not
// stop, after removing the temporary file of a save in progress. SIGPIPE is
// ignored: progress written to a reader that went away is not worth dying for.
void installInterruptHandler();
bool interruptRequested();
// 128 + the number of the first signal received (130 for Ctrl+C).
int interruptExitCode();

}  // namespace qv::cli
