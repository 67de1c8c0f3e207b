#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imageio/save_options.h"
#include "imageio/working_image.h"
#include "settings/tone_settings.h"

namespace qv {
struct ImageIoContext;
struct PipelineState;
}  // namespace qv

namespace qv::cli {

class ProgressDisplay;
class StepTimes;

// One image from files to saved result.
struct ImageJob {
    std::vector<std::string> inputs;     // one file, or the exposures of one scene
    ToneSettings tone;
    SaveOptions save;                    // path, type and JPEG quality
    std::optional<ImageSize> resizeBox;  // scale the result down into this box
};

enum class JobStatus { Done, LoadFailed, ProcessingFailed, SaveFailed, Interrupted };

struct JobResult {
    JobStatus status = JobStatus::Done;
    std::string message;  // one line for the user when the job failed
    ImageSize saved;      // the size written, when done
};

// Runs the program's own steps one after the other on their threads: the
// load thread (decode, or merge, and the working-image preparation), one
// processing run over every stage, the save thread. The context supplies the
// options and the worker count; the state is reused from job to job. While
// each worker runs, its progress goes to `display` (and `times`), and a
// Ctrl+C is passed on to the abort flag. The saved file takes the target's
// place only when the job ends done, so a failed or interrupted job leaves an
// existing target as it was and no new file behind.
JobResult runImageJob(ImageIoContext& ctx, PipelineState& state, const ImageJob& job, ProgressDisplay& display,
                      StepTimes* times);

}  // namespace qv::cli
