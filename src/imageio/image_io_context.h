#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "engine/pipeline/processing_context.h"
#include "imageio/shared_text.h"

namespace qv {

// The processing context with what the load and save threads are given and
// leave behind. The window owns one; the engine sees only the processing
// context within it. Written by a load or save thread while it runs and read
// once it has ended, except the status text and the working size, which the
// window may show meanwhile.
struct ImageIoContext : ProcessingContext {
    // The files the load thread opens: one image, or the exposures of a merge.
    std::vector<std::string> fileList;
    // The path being loaded or saved, shown while the thread runs.
    SharedText statusText;

    // Why the last load or save failed, when there is something to say.
    std::string errorText;
    int decodedWidth = 0;
    int decodedHeight = 0;
    int bitDepth = 0;  // 24 or 48, of the loaded file
    std::atomic<int> workingWidth{0};
    std::atomic<int> workingHeight{0};
};

}  // namespace qv
