#include "ui/engine_session.h"

#include <thread>

#include "engine/pipeline/pipeline_driver.h"
#include "imageio/save_image.h"
#include "settings/tone_settings.h"

namespace qv::ui {

EngineSession::EngineSession() { ctx_.pipeline = &state_; }

EngineSession::~EngineSession()
{
    processor_.stop();
    loader_.stop();
    saver_.stop();
}

bool EngineSession::stale() const { return (ctx_.dirtyMask.load() & DirtyBits::Output) != 0; }
int EngineSession::percent() const { return ctx_.percent.load(std::memory_order_relaxed); }
StatusCode EngineSession::statusCode() const { return ctx_.statusCode.load(std::memory_order_relaxed); }
uint32_t EngineSession::elapsedMs() const { return ctx_.elapsedMs.load(std::memory_order_relaxed); }

bool EngineSession::startProcessing(uint32_t bits, bool forced)
{
    stopProcessing();
    ctx_.dirtyMask |= bits | DirtyBits::Output;
    if ((!ctx_.autoStart && !forced) || !state_.loaded)
        return false;
    ctx_.percent.store(0, std::memory_order_relaxed);
    ctx_.pipeline = &state_;
    const uint64_t run = ++run_;
    return processor_.start(state_, [this, run] {
        const ThreadResult result = runPipeline(ctx_, state_, pipelineStages()) ? ThreadResult::Done
                                                                                 : ThreadResult::Failed;
        if (runEnded_)
            runEnded_(run);
        return result;
    });
}

bool EngineSession::stopProcessing() { return processor_.stop(); }

std::optional<ThreadResult> EngineSession::collectProcessing()
{
    if (!processor_.running())
        return processor_.collect();
    return std::nullopt;
}

std::optional<ThreadResult> EngineSession::collectEndedRun(uint64_t run)
{
    if (run != run_)
        return std::nullopt;
    // The run has reported its end: only its last instructions remain.
    while (processor_.running())
        std::this_thread::yield();
    return processor_.collect();
}

bool EngineSession::runCompleted() const { return statusCode() == StatusCode::RunEnded; }

bool EngineSession::startLoad(const std::vector<std::string>& files)
{
    stopProcessing();
    ctx_.pipeline = &state_;
    ctx_.fileList = files;
    return loader_.start(ctx_);
}

bool EngineSession::startSave(const SaveOptions& options)
{
    stopProcessing();
    saveOptions_ = options;
    ctx_.pipeline = &state_;
    // Published before the thread starts, so that the first look shows the
    // save and not the end of the run before it.
    ctx_.statusCode.store(StatusCode::Saving, std::memory_order_relaxed);
    ctx_.percent.store(0, std::memory_order_relaxed);
    return saver_.start(state_, [this] { return runSaveThread(ctx_, saveOptions_); });
}

bool EngineSession::workerRunning() const { return loader_.running() || saver_.running() || processor_.running(); }

void EngineSession::abortWorker() { state_.abort.store(true, std::memory_order_relaxed); }

ThreadResult EngineSession::finishWorker()
{
    // Both end on their own; waiting without the abort flag.
    while (loader_.running() || saver_.running())
        std::this_thread::yield();
    if (auto result = loader_.collect())
        return *result;
    if (auto result = saver_.collect())
        return *result;
    return ThreadResult::Failed;
}

void EngineSession::closeImage()
{
    stopProcessing();
    ctx_.dirtyMask = 0;
    ctx_.fileList.clear();
    state_.reset();
}

}  // namespace qv::ui
