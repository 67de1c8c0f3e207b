#pragma once

#include <cstdint>
#include <optional>

#include "engine/pipeline/background_thread.h"

namespace qv {

struct PipelineStages;
struct ProcessingContext;

// The one processing thread of a window: one pipeline run per start.
class ProcessingThread {
public:
    // Stops a running thread, ORs `bits` and the final-output bit into the
    // dirty mask and, when Auto Start is on or the start is forced, starts a
    // run over ctx.pipeline. True when a run was started.
    bool start(ProcessingContext& ctx, uint32_t bits, bool forced = false);
    // Sets the abort flag and waits without limit for the thread to end.
    // True when a thread existed.
    bool stop() { return thread_.stop(); }
    // A thread exists and has not ended yet.
    bool running() const { return thread_.running(); }
    // When the thread has ended: how the run ended, and the thread is
    // forgotten. Empty while it runs or when there is none.
    std::optional<ThreadResult> collect() { return thread_.collect(); }

    // The stage table used by later starts (tests use recording doubles).
    void setStages(const PipelineStages* stages) { stages_ = stages; }

private:
    const PipelineStages* stages_ = nullptr;
    BackgroundThread thread_;
};

}  // namespace qv
