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

// The line an interrupted run ends with.
inline constexpr const char* kInterruptedLine = "quorvelin-cli: Przerwane\n";

// For a worker that does not stop in time (a library step that cannot be
// interrupted): removes the temporary files of the saves in progress,
// writes the interrupted line and ends the tool with interruptExitCode().
[[noreturn]] void endInterruptedNow();

}  // namespace qv::cli
