#pragma once

namespace qv {

// The numbers a worker publishes in the context; the front ends map them to
// texts (text/status_text.h).
enum class StatusCode : int {
    None = 0,
    Loading = 103,
    Preparing = 104,  // preparing the working image; no status-bar text
    Saving = 105,
    LoadError = 106,
    SaveError = 107,
    ProcessingError = 108,
    Merging = 109,
    DetailSetup = 110,
    Smoothing = 111,
    Smoothing2 = 112,
    Detail = 113,
    Region = 114,
    ToneCurve = 115,
    FinalOutput = 116,
    RunEnded = 117,  // no text; marks the end of every run
    ColorNR = 118,
    Softening = 119,
    Sharpening = 120,
    Light = 121,
    Ready = 130,
    Aborted = 131,
    Ready2 = 132,
    UpdateCheck = 150,
};

}  // namespace qv
