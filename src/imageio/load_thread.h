#pragma once

#include <optional>

#include "engine/pipeline/background_thread.h"

namespace qv {

struct ImageIoContext;

// The load thread's body: decodes the context's file list into the state that
// ctx.pipeline points at and prepares the working image. Publishes status
// code, percentage and status text while it runs. Done when the working image
// is ready (the state's loaded flag is set), Failed when the load failed or
// was aborted (the error text says why when there is anything to say).
// The abort flag is left as it is: whoever starts the load clears it first.
ThreadResult runLoadThread(ImageIoContext& ctx);

// Runs runLoadThread on a thread of its own, one load at a time.
class LoadThread {
public:
    // Stops a running load, then clears the abort flag, publishes the
    // loading status and starts loading ctx.fileList into *ctx.pipeline.
    // False when the thread cannot be started or there is no pipeline.
    bool start(ImageIoContext& ctx);
    // Sets the abort flag and waits for the thread to end. True when a
    // thread existed.
    bool stop() { return thread_.stop(); }
    // A thread exists and has not ended yet.
    bool running() const { return thread_.running(); }
    // When the thread has ended: how the load ended, and the thread is
    // forgotten. Empty while it runs or when there is none.
    std::optional<ThreadResult> collect() { return thread_.collect(); }

private:
    BackgroundThread thread_;
};

}  // namespace qv
