#pragma once

#include <atomic>
#include <cstdint>

#include "settings/app_config.h"
#include "settings/tone_settings.h"
#include "text/status_codes.h"

namespace qv {

struct PipelineState;

// One per window: the settings of the run, the worker count, the progress
// channel and the options. Fields shared with running threads are atomic.
// What only loading and saving need is in imageio's ImageIoContext, which
// extends this record.
struct ProcessingContext {
    // Set by the window while no run is going; cleared stage by stage by the
    // driver, while the window may read it to tell whether the result is stale.
    std::atomic<uint32_t> dirtyMask{0};
    int valueScale = 65536;
    int workerCount = defaultWorkerCount();
    PipelineState* pipeline = nullptr;
    std::atomic<int> percent{0};
    std::atomic<StatusCode> statusCode{StatusCode::None};
    int multiScale = -1;
    std::atomic<uint32_t> elapsedMs{0};
    bool autoStart = true;
    ToneSettings current;
    ToneSettings storedDefaults;
    AppConfig config;

    // Processors + 2, at most 20.
    static int defaultWorkerCount();
};

}  // namespace qv
