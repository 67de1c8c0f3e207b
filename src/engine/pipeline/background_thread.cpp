#include "engine/pipeline/background_thread.h"

#include <system_error>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"

namespace qv {

bool BackgroundThread::start(PipelineState& state, std::function<ThreadResult()> job)
{
    stop();
    // Cleared here rather than on the new thread, so that a stop() right
    // after this start can never be undone by the thread's own start-up.
    state.abort.store(false, std::memory_order_relaxed);
    ended_.store(false, std::memory_order_relaxed);
    try {
        thread_ = std::thread([this, job = std::move(job)] {
            result_ = job();
            ended_.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    state_ = &state;
    return true;
}

bool BackgroundThread::stop()
{
    if (!thread_.joinable())
        return false;
    state_->abort.store(true, std::memory_order_relaxed);
    thread_.join();
    return true;
}

bool BackgroundThread::running() const
{
    return thread_.joinable() && !ended_.load(std::memory_order_acquire);
}

std::optional<ThreadResult> BackgroundThread::collect()
{
    if (!thread_.joinable() || !ended_.load(std::memory_order_acquire))
        return std::nullopt;
    thread_.join();
    return result_;
}

}  // namespace qv
