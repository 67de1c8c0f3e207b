#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

namespace qv {

struct PipelineStages;
struct PipelineState;
struct ProcessingContext;

// The one processing thread of a window: one pipeline run per start.
class ProcessingThread {
public:
    ProcessingThread() = default;
    ~ProcessingThread() { stop(); }
    ProcessingThread(const ProcessingThread&) = delete;
    ProcessingThread& operator=(const ProcessingThread&) = delete;

    // Stops a running thread, ORs `bits` and the final-output bit into the
    // dirty mask and, when Auto Start is on or the start is forced, starts a
    // run over ctx.pipeline. True when a run was started.
    bool start(ProcessingContext& ctx, uint32_t bits, bool forced = false);
    // Sets the abort flag and waits without limit for the thread to end.
    // True when a thread existed.
    bool stop();
    // A thread exists and has not ended yet.
    bool running() const;
    // When the thread has ended: its exit code (1 success, 0 failure), and
    // the thread is forgotten. Empty while it runs or when there is none.
    std::optional<int> collect();

    // The stage table used by later starts (tests use recording doubles).
    void setStages(const PipelineStages* stages) { stages_ = stages; }

private:
    // The state the thread runs over, kept so that stopping it does not
    // depend on what the context points at by then.
    PipelineState* state_ = nullptr;
    const PipelineStages* stages_ = nullptr;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    int exitCode_ = 0;
};

}  // namespace qv
