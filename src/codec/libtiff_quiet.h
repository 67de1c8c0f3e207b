#pragma once

namespace qv {

// Clears libtiff's process-wide error and warning handlers (once), which
// otherwise print to the terminal; every failure is answered by a return
// value anyway.
void silenceLibtiff();

}  // namespace qv
