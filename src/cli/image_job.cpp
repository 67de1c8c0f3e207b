#include "cli/image_job.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "cli/interrupt.h"
#include "cli/progress_display.h"
#include "cli/staged_output.h"
#include "cli/step_times.h"
#include "engine/pipeline/background_thread.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/processing_thread.h"
#include "engine/pipeline/status_codes.h"
#include "imageio/load_thread.h"
#include "imageio/save_image.h"

namespace qv::cli {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(40);

// Polls a running worker as the program's window does: shows its status and
// percentage, and turns a Ctrl+C into the abort flag (again on every poll,
// since a worker clears the flag when it starts).
template <class Running>
void watch(const Running& running, ProcessingContext& ctx, PipelineState& state, ProgressDisplay& display,
           StepTimes* times)
{
    for (;;) {
        if (interruptRequested())
            state.abort.store(true, std::memory_order_relaxed);
        const int code = ctx.statusCode.load(std::memory_order_relaxed);
        display.update(code, ctx.percent.load(std::memory_order_relaxed));
        if (times)
            times->observe(code);
        if (!running())
            break;
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string quotedList(const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& path : paths)
        text += (text.empty() ? "„" : ", „") + path + "”";
    return text;
}

// The line and the error text the worker left, unless the text says no more
// than the line's beginning ("Błąd wczytywania").
std::string withReason(std::string line, const std::string& reason)
{
    return reason.empty() || line.starts_with(reason) ? line : line + ": " + reason;
}

JobResult failed(JobStatus status, std::string message) { return {status, std::move(message), {}}; }

std::string saveErrorLine(const std::string& path) { return "Błąd zapisu „" + path + "”"; }

JobResult cannotSave(const ImageJob& job, int error)
{
    return failed(JobStatus::SaveFailed, withReason(saveErrorLine(job.save.path), std::strerror(error)));
}

int load(ProcessingContext& ctx, PipelineState& state, ProgressDisplay& display, StepTimes* times)
{
    LoadThread loader;
    if (!loader.start(ctx))
        return -1;
    watch([&] { return loader.running(); }, ctx, state, display, times);
    return loader.collect().value_or(-1);
}

bool process(ProcessingContext& ctx, PipelineState& state, ProgressDisplay& display, StepTimes* times)
{
    ProcessingThread processor;
    if (!processor.start(ctx, DirtyBits::NewImage, /*forced=*/true))
        return false;
    watch([&] { return processor.running(); }, ctx, state, display, times);
    // A run that went through to the end publishes its end code last.
    return processor.collect().value_or(0) == 1 &&
           ctx.statusCode.load(std::memory_order_relaxed) == StatusCode::RunEnded;
}

bool save(ProcessingContext& ctx, PipelineState& state, const SaveOptions& options, ProgressDisplay& display,
          StepTimes* times)
{
    BackgroundThread saver;
    // Published before the thread starts, so that the first look shows the
    // save and not the end of the run before it.
    ctx.statusCode.store(StatusCode::Saving, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    if (!saver.start(state, [&] { return runSaveThread(ctx, options); }))
        return false;
    watch([&] { return saver.running(); }, ctx, state, display, times);
    return saver.collect().value_or(0) == 1;
}

// The save request with the size the result is scaled down to, if any.
SaveOptions saveOptionsFor(const ImageJob& job, const Bitmap& output)
{
    SaveOptions options = job.save;
    options.resize = false;
    if (job.resizeBox) {
        const ImageSize fitted = fitToBox(output.width(), output.height(), job.resizeBox->width, job.resizeBox->height);
        options.resize = fitted != ImageSize{output.width(), output.height()};
        options.width = fitted.width;
        options.height = fitted.height;
    }
    return options;
}

}  // namespace

JobResult runImageJob(ProcessingContext& ctx, PipelineState& state, const ImageJob& job, ProgressDisplay& display,
                      StepTimes* times)
{
    // A target that cannot be written fails the job before any work. The
    // trial file is removed at once, so that nothing is left beside the
    // target should a second Ctrl+C end the tool during the work.
    if (const int error = StagedOutput(job.save.path).error(); error != 0)
        return cannotSave(job, error);

    ctx.pipeline = &state;
    ctx.fileList = job.inputs;
    const int loaded = load(ctx, state, display, times);
    if (interruptRequested())
        return failed(JobStatus::Interrupted, {});
    if (loaded != 1)
        return failed(JobStatus::LoadFailed, withReason("Błąd wczytywania " + quotedList(job.inputs), ctx.errorText));

    ctx.current = job.tone;
    ctx.dirtyMask = 0;
    const bool processed = process(ctx, state, display, times);
    if (interruptRequested())
        return failed(JobStatus::Interrupted, {});
    if (!processed)
        return failed(JobStatus::ProcessingFailed, "Błąd przetwarzania " + quotedList(job.inputs));

    StagedOutput target(job.save.path);
    if (const int error = target.error(); error != 0)
        return cannotSave(job, error);
    SaveOptions options = saveOptionsFor(job, *state.output);
    options.path = target.savePath();
    const bool saved = save(ctx, state, options, display, times);
    // Encoding a JPEG cannot be stopped: a Ctrl+C during it drops the result.
    if (interruptRequested())
        return failed(JobStatus::Interrupted, {});
    if (!saved)
        return failed(JobStatus::SaveFailed, withReason(saveErrorLine(job.save.path), ctx.errorText));
    if (const int error = target.commit(); error != 0)
        return cannotSave(job, error);
    const ImageSize written = options.resize ? ImageSize{options.width, options.height}
                                             : ImageSize{state.output->width(), state.output->height()};
    return {JobStatus::Done, {}, written};
}

}  // namespace qv::cli
