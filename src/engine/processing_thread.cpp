#include "engine/processing_thread.h"

#include "engine/pipeline_driver.h"
#include "engine/processing_context.h"
#include "settings/tone_settings.h"

namespace qv {

bool ProcessingThread::start(ProcessingContext& ctx, uint32_t bits, bool forced)
{
    stop();
    ctx.dirtyMask |= bits | DirtyBits::Output;
    if ((!ctx.autoStart && !forced) || !ctx.pipeline)
        return false;
    ctx.percent.store(0, std::memory_order_relaxed);
    PipelineState& state = *ctx.pipeline;
    // Cleared here rather than on the new thread, so that a stop() right
    // after this start can never be undone by the thread's own start-up.
    state.abort.store(false, std::memory_order_relaxed);
    ended_.store(false, std::memory_order_relaxed);
    const PipelineStages& stages = stages_ ? *stages_ : pipelineStages();
    try {
        thread_ = std::thread([this, &ctx, &state, &stages] {
            exitCode_ = runPipeline(ctx, state, stages) ? 1 : 0;
            ended_.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    state_ = &state;
    return true;
}

bool ProcessingThread::stop()
{
    if (!thread_.joinable())
        return false;
    state_->abort.store(true, std::memory_order_relaxed);
    thread_.join();
    return true;
}

bool ProcessingThread::running() const
{
    return thread_.joinable() && !ended_.load(std::memory_order_acquire);
}

std::optional<int> ProcessingThread::collect()
{
    if (!thread_.joinable() || !ended_.load(std::memory_order_acquire))
        return std::nullopt;
    thread_.join();
    return exitCode_;
}

}  // namespace qv
