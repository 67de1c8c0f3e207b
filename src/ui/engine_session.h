#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/pipeline/background_thread.h"
#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "imageio/load_thread.h"
#include "imageio/save_options.h"

namespace qv::ui {

// The window's one way into the core: the context and pipeline state of the
// current image, and the processing, load and save threads that work on
// them. Everything the window reads of a run or an image goes through here.
class EngineSession {
public:
    EngineSession();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    ImageIoContext& context() { return ctx_; }
    const ImageIoContext& context() const { return ctx_; }
    PipelineState& pipeline() { return state_; }
    const PipelineState& pipeline() const { return state_; }

    // An image is ready (never while the load thread works on the state).
    bool imageLoaded() const { return !loader_.running() && state_.loaded; }
    bool stale() const;
    int percent() const;
    StatusCode statusCode() const;
    uint32_t elapsedMs() const;

    // Called on the processing thread as a run ends, with the run's number;
    // the window turns it into a queued call to collectEndedRun.
    void setRunEndedCallback(std::function<void(uint64_t run)> callback) { runEnded_ = std::move(callback); }

    // Marks `bits` and the final output dirty; starts a run when Auto Start
    // is on or the start is forced. A running run is stopped first.
    bool startProcessing(uint32_t bits, bool forced);
    // Stops a running run (abort flag, unbounded wait). True when one existed.
    bool stopProcessing();
    bool processing() const { return processor_.running(); }
    // How an ended run ended, once; empty while it runs or when there is
    // none.
    std::optional<ThreadResult> collectProcessing();
    // The same for the run that reported its end: empty when another run
    // has been started since.
    std::optional<ThreadResult> collectEndedRun(uint64_t run);
    // The run that ended went through to its end (and was not aborted).
    bool runCompleted() const;

    // Load and save run one at a time beside no processing run.
    bool startLoad(const std::vector<std::string>& files);
    bool startSave(const SaveOptions& options);
    // A load, save or processing thread is running: what a wait waits for.
    bool workerRunning() const;
    // Asks the running thread to stop at its next check.
    void abortWorker();
    // Waits for the load or save and returns how it ended (Failed when
    // there was none).
    ThreadResult finishWorker();

    // Releases the image: the state of no image.
    void closeImage();

private:
    ImageIoContext ctx_;
    PipelineState state_;
    BackgroundThread processor_;
    LoadThread loader_;
    BackgroundThread saver_;
    SaveOptions saveOptions_;
    std::function<void(uint64_t)> runEnded_;
    uint64_t run_ = 0;  // number of the latest run started
};

}  // namespace qv::ui
