#include "cli/image_job.h"

#include <chrono>
#include <optional>
#include <thread>

#include "cli/interrupt.h"
#include "cli/progress_display.h"
#include "cli/step_times.h"
#include "engine/pipeline/background_thread.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_thread.h"
#include "imageio/image_io_context.h"
#include "imageio/load_thread.h"
#include "imageio/save_image.h"
#include "settings/replacement_file.h"
#include "text/failure_text.h"
#include "text/status_codes.h"
#include "text/string_table.h"

namespace qv::cli {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(40);
// How long a worker may take to stop after a Ctrl+C before the tool ends
// without it. Nothing of the run has taken the target's place by then.
constexpr auto kStopGrace = std::chrono::milliseconds(800);

// Polls a running worker as the program's window does: shows its status and
// percentage, and turns a Ctrl+C into the abort flag (again on every poll,
// since a worker clears the flag when it starts).
template <class Running>
void watch(const Running& running, ImageIoContext& ctx, PipelineState& state, ProgressDisplay& display,
           StepTimes* times)
{
    std::optional<std::chrono::steady_clock::time_point> stopAsked;
    for (;;) {
        if (interruptRequested()) {
            state.abort.store(true, std::memory_order_relaxed);
            const auto now = std::chrono::steady_clock::now();
            if (!stopAsked)
                stopAsked = now;
            else if (now - *stopAsked > kStopGrace && running()) {
                display.clear();
                endInterruptedNow();
            }
        }
        const StatusCode code = ctx.statusCode.load(std::memory_order_relaxed);
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

JobResult failed(JobStatus status, std::string message) { return {status, std::move(message), {}}; }

// The error text the worker left, which names the file and the reason, or,
// when it left none, the bare failure with the files.
std::string failureText(const ImageIoContext& ctx, const char* what, const std::vector<std::string>& files)
{
    return ctx.errorText.empty() ? what + (" " + quotedList(files)) : ctx.errorText;
}

bool load(ImageIoContext& ctx, PipelineState& state, ProgressDisplay& display, StepTimes* times)
{
    LoadThread loader;
    if (!loader.start(ctx))
        return false;
    watch([&] { return loader.running(); }, ctx, state, display, times);
    return loader.collect() == ThreadResult::Done;
}

bool process(ImageIoContext& ctx, PipelineState& state, ProgressDisplay& display, StepTimes* times)
{
    ProcessingThread processor;
    if (!processor.start(ctx, DirtyBits::NewImage, /*forced=*/true))
        return false;
    watch([&] { return processor.running(); }, ctx, state, display, times);
    // A run that went through to the end publishes its end code last.
    return processor.collect() == ThreadResult::Done &&
           ctx.statusCode.load(std::memory_order_relaxed) == StatusCode::RunEnded;
}

bool save(ImageIoContext& ctx, PipelineState& state, const SaveOptions& options, ProgressDisplay& display,
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
    return saver.collect() == ThreadResult::Done;
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

JobResult runImageJob(ImageIoContext& ctx, PipelineState& state, const ImageJob& job, ProgressDisplay& display,
                      StepTimes* times)
{
    // A target that cannot be written fails the job before any work. The
    // trial file is removed at once.
    if (const int error = ReplacementFile(job.save.path).error(); error != 0)
        return failed(JobStatus::SaveFailed, failureLine(kWriteErrorText, job.save.path, failureReason(error)));

    ctx.pipeline = &state;
    ctx.fileList = job.inputs;
    const bool loaded = load(ctx, state, display, times);
    if (interruptRequested())
        return failed(JobStatus::Interrupted, {});
    if (!loaded)
        return failed(JobStatus::LoadFailed, failureText(ctx, kLoadErrorText, job.inputs));

    ctx.current = job.tone;
    ctx.dirtyMask = 0;
    const bool processed = process(ctx, state, display, times);
    if (interruptRequested())
        return failed(JobStatus::Interrupted, {});
    if (!processed)
        return failed(JobStatus::ProcessingFailed, std::string(text::k121) + " " + quotedList(job.inputs));

    // The save writes beside the target and takes its place only when
    // complete and not aborted, so a Ctrl+C during an encoder that cannot be
    // stopped still drops the result. One that comes once the file is in
    // place has nothing left to stop.
    const SaveOptions options = saveOptionsFor(job, *state.output);
    if (!save(ctx, state, options, display, times)) {
        if (interruptRequested())
            return failed(JobStatus::Interrupted, {});
        return failed(JobStatus::SaveFailed, failureText(ctx, kWriteErrorText, {job.save.path}));
    }
    const ImageSize written = options.resize ? ImageSize{options.width, options.height}
                                             : ImageSize{state.output->width(), state.output->height()};
    return {JobStatus::Done, {}, written};
}

}  // namespace qv::cli
