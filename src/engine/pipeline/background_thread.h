#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace qv {

struct PipelineState;

// How a job on a background thread ended. Why one failed, when there is
// anything to say, the job leaves in the context it worked for.
enum class ThreadResult { Done, Failed };

// One long job at a time (a processing run, a load, a save) on a thread of
// its own, stopped through the abort flag of the state it works on.
class BackgroundThread {
public:
    BackgroundThread() = default;
    ~BackgroundThread() { stop(); }
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;

    // Stops a running job, clears the state's abort flag and runs `job` on a
    // new thread. False when no thread could be started.
    bool start(PipelineState& state, std::function<ThreadResult()> job);
    // Sets the abort flag and waits without limit for the thread to end.
    // True when a thread existed; the thread is then forgotten.
    bool stop();
    // A thread exists and has not ended yet.
    bool running() const;
    // When the thread has ended: the job's answer, and the thread is
    // forgotten. Empty while it runs or when there is none.
    std::optional<ThreadResult> collect();

private:
    // Kept so that stopping does not depend on what a context points at by then.
    PipelineState* state_ = nullptr;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    ThreadResult result_ = ThreadResult::Failed;
};

}  // namespace qv
