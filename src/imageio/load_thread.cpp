#include "imageio/load_thread.h"

#include <system_error>

#include "engine/pipeline/pipeline_state.h"
#include "imageio/decode_file.h"
#include "imageio/image_io_context.h"
#include "imageio/merge_files.h"
#include "imageio/working_image.h"
#include "text/status_codes.h"

namespace qv {

namespace {

bool decodeSingleFile(ImageIoContext& ctx, PipelineState& state)
{
    SourcePair pair;
    if (!decodeFile(ctx.fileList.front(), ctx, state.abort, pair))
        return false;
    state.source = std::move(pair.image8);
    state.working = std::move(pair.image16);
    return true;
}

// Fills the state's source pair from the file list: one file is decoded,
// several are merged as exposures of one scene. An empty list fails without text.
bool decodeSources(ImageIoContext& ctx, PipelineState& state)
{
    if (ctx.fileList.size() == 1)
        return decodeSingleFile(ctx, state);
    if (ctx.fileList.size() > 1)
        return mergeExposures(ctx, state, ctx.fileList);
    return false;
}

}  // namespace

ThreadResult runLoadThread(ImageIoContext& ctx)
{
    if (!ctx.pipeline)
        return ThreadResult::Failed;
    PipelineState& state = *ctx.pipeline;
    ctx.errorText.clear();
    state.reset();
    ctx.statusCode.store(StatusCode::Loading, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    ctx.statusText.clear();
    ctx.valueScale = 65536;

    if (!decodeSources(ctx, state)) {
        state.reset();
        return ThreadResult::Failed;
    }
    ctx.statusText.clear();
    if (!prepareWorkingImage(ctx, state)) {
        state.reset();
        return ThreadResult::Failed;
    }
    state.loaded = true;
    return ThreadResult::Done;
}

bool LoadThread::start(ImageIoContext& ctx)
{
    stop();
    if (!ctx.pipeline)
        return false;
    ctx.statusCode.store(StatusCode::Loading, std::memory_order_relaxed);
    return thread_.start(*ctx.pipeline, [&ctx] { return runLoadThread(ctx); });
}

}  // namespace qv
