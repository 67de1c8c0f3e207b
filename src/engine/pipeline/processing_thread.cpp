#include "engine/pipeline/processing_thread.h"

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
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
    const PipelineStages& stages = stages_ ? *stages_ : pipelineStages();
    return thread_.start(state, [&ctx, &state, &stages] {
        return runPipeline(ctx, state, stages) ? ThreadResult::Done : ThreadResult::Failed;
    });
}

}  // namespace qv
