#include "cli/cli_app.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "cli/batch_plan.h"
#include "cli/command_line.h"
#include "cli/help_text.h"
#include "cli/image_job.h"
#include "cli/interrupt.h"
#include "cli/progress_display.h"
#include "cli/step_times.h"
#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "settings/app_config.h"
#include "settings/image_name.h"
#include "settings/replacement_file.h"
#include "settings/tone_file.h"
#include "text/failure_text.h"

namespace qv::cli {

namespace {

constexpr const char* kToolName = "quorvelin-cli";

void printError(const std::string& line) { std::fprintf(stderr, "%s: %s\n", kToolName, line.c_str()); }

ProgressDisplay::Style displayStyle(const CliOptions& options)
{
    if (options.quiet)
        return ProgressDisplay::Style::Silent;
    return ::isatty(STDERR_FILENO) ? ProgressDisplay::Style::Bar : ProgressDisplay::Style::Lines;
}

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// One run of the tool over the checked options.
class ToolRun {
public:
    explicit ToolRun(const CliOptions& options) : options_(options), display_(displayStyle(options), stderr) {}

    int run()
    {
        installInterruptHandler();
        const ToneAssembly shared = sharedToneSettings(options_.tone, store_);
        if (!shared.ok())
            return fail(shared.error);
        shared_ = shared.settings;
        configureContext();
        if (!options_.warning.empty())
            display_.note("Uwaga: " + options_.warning);

        if (options_.inputs.empty())
            return saveSettings(settingsWithoutCompanion(options_.tone, shared_)) ? ExitCode::Done : ExitCode::Failed;
        return options_.each ? runBatch() : runSingle();
    }

private:
    int fail(const std::string& line)
    {
        display_.clear();
        printError(line);
        return ExitCode::Failed;
    }

    int interrupted()
    {
        display_.clear();
        std::fputs(kInterruptedLine, stderr);
        return interruptExitCode();
    }

    // The program's options from the user's store, with the command line's
    // choices over them. The working image is full size unless asked.
    void configureContext()
    {
        AppConfig& config = ctx_.config;
        config = readAppConfig(store_);
        config.previewMode = options_.previewMode.value_or(0);
        config.rawNoiseReduction = options_.rawNoiseReduction.value_or(config.rawNoiseReduction);
        config.rawAutoWhiteBalance = options_.rawAutoWhiteBalance.value_or(config.rawAutoWhiteBalance);
        config.lightRecovery = options_.lightRecovery.value_or(config.lightRecovery);
        if (options_.threads)
            ctx_.workerCount = *options_.threads;
    }

    bool saveSettings(const ToneSettings& settings)
    {
        if (options_.saveSettingsPath.empty())
            return true;
        const ToneFileResult result = saveToneFile(settings, options_.saveSettingsPath);
        if (!result.ok()) {
            fail(failureLine(kWriteErrorText, options_.saveSettingsPath, result.systemMessage));
            return false;
        }
        return true;
    }

    ImageJob jobFor(const std::vector<std::string>& inputs, const std::string& output)
    {
        std::string companion, ignored;
        ImageJob job;
        job.inputs = inputs;
        job.tone = settingsForImage(options_.tone, shared_, imagePathOf(inputs), &companion, &ignored);
        if (!ignored.empty())
            display_.note(ignored);
        job.save.path = output;
        job.save.type = options_.type;
        job.save.jpegQuality = options_.jpegQuality.value_or(ctx_.config.jpegQuality);
        job.resizeBox = options_.resizeBox;
        if (!companion.empty())
            display_.note("Ustawienia z pliku „" + companion + "”");
        return job;
    }

    // Runs one job and tells the user how it went.
    JobResult runJob(const ImageJob& job)
    {
        StepTimes times;
        const JobResult result = runImageJob(ctx_, state_, job, display_, &times);
        times.stop();
        state_.reset();
        display_.clear();
        if (result.status == JobStatus::Done) {
            display_.note("Zapisano „" + job.save.path + "” (" + std::to_string(result.saved.width) + " x " +
                          std::to_string(result.saved.height) + ")");
        } else if (result.status != JobStatus::Interrupted) {
            printError(result.message);
        }
        if (options_.timings && !display_.silent())
            std::fputs(times.report().c_str(), stderr);
        return result;
    }

    // Everything a run reads: the photos, the settings file and, when they
    // are read, the companion settings files of each image the run makes.
    std::vector<std::string> runInputs(const std::vector<std::vector<std::string>>& images) const
    {
        std::vector<std::string> inputs = options_.inputs;
        if (!options_.tone.settingsFile.empty())
            inputs.push_back(options_.tone.settingsFile);
        if (options_.tone.companion)
            for (const std::vector<std::string>& files : images)
                inputs.push_back(companionToneFilePath(imagePathOf(files)));
        return inputs;
    }

    // The settings file is written last, but a place that cannot take it
    // (a folder, a pipe, a device, an immutable file) fails the run before
    // any image is loaded, as an image's target does.
    bool settingsTargetRefused()
    {
        if (options_.saveSettingsPath.empty())
            return false;
        const int error = ReplacementFile(options_.saveSettingsPath).error();
        if (error != 0)
            fail(failureLine(kWriteErrorText, options_.saveSettingsPath, failureReason(error)));
        return error != 0;
    }

    // No output of a run may be one of its inputs or another of its outputs.
    bool outputsClash(std::vector<std::string> outputs, const std::vector<std::vector<std::string>>& images)
    {
        if (!options_.saveSettingsPath.empty())
            outputs.push_back(options_.saveSettingsPath);
        const std::string clash = outputClashError(outputs, runInputs(images));
        if (!clash.empty())
            printError(clash);
        return !clash.empty();
    }

    int runSingle()
    {
        if (outputsClash({options_.output}, {options_.inputs}))
            return ExitCode::Usage;
        if (settingsTargetRefused())
            return ExitCode::Failed;
        const ImageJob job = jobFor(options_.inputs, options_.output);
        // A Ctrl+C that comes once the file is written has nothing left to stop.
        const JobResult result = runJob(job);
        if (result.status == JobStatus::Interrupted)
            return interrupted();
        if (result.status != JobStatus::Done)
            return ExitCode::Failed;
        // The settings are kept only for a run that went well.
        return saveSettings(job.tone) ? ExitCode::Done : ExitCode::Failed;
    }

    int runBatch()
    {
        const BatchPlan plan = planBatchOutputs(options_.inputs, options_.outputDir, options_.type);
        if (!plan.ok()) {
            printError(plan.error);
            return ExitCode::Usage;
        }
        std::vector<std::vector<std::string>> images;
        for (const std::string& input : options_.inputs)
            images.push_back({input});
        if (outputsClash(plan.outputs, images))
            return ExitCode::Usage;
        std::error_code error;
        std::filesystem::create_directories(options_.outputDir, error);
        if (!std::filesystem::is_directory(options_.outputDir))
            return fail(failureLine("Nie można utworzyć folderu", options_.outputDir,
                                    error ? failureReason(error.value()) : std::string()));
        // After the folder is made: the settings file may be meant to go there.
        if (settingsTargetRefused())
            return ExitCode::Failed;
        const std::size_t count = options_.inputs.size();
        std::vector<std::string> failures;
        std::size_t done = 0;
        for (std::size_t i = 0; i < count && !interruptRequested(); ++i) {
            const std::string& input = options_.inputs[i];
            display_.setLabel(std::string("[").append(std::to_string(i + 1)).append("/").append(std::to_string(count))
                                  .append("] ").append(fileNameOf(input)));
            const JobResult result = runJob(jobFor({input}, plan.outputs[i]));
            if (result.status == JobStatus::Done)
                ++done;
            else if (result.status != JobStatus::Interrupted)
                failures.push_back(input);
        }
        display_.setLabel({});
        summarise(done, failures);
        if (interruptRequested())
            return interrupted();
        if (!failures.empty())
            return ExitCode::Failed;
        return saveSettings(settingsWithoutCompanion(options_.tone, shared_)) ? ExitCode::Done : ExitCode::Failed;
    }

    void summarise(std::size_t done, const std::vector<std::string>& failures)
    {
        const std::size_t count = options_.inputs.size();
        std::string line = "Gotowe: " + std::to_string(done) + " z " + std::to_string(count) +
                           (count == 1 ? " pliku" : " plików");
        if (!failures.empty()) {
            line += "; nieudane (" + std::to_string(failures.size()) + "):";
            for (const std::string& path : failures)
                line += " „" + path + "”";
        }
        display_.note(line);
    }

    const CliOptions& options_;
    ProgressDisplay display_;
    QSettingsStore store_;
    ToneSettings shared_;
    ImageIoContext ctx_;
    PipelineState state_;
};

}  // namespace

int runTool(int argc, char** argv)
{
    // The system's error texts in the user's language, as the program shows them.
    std::setlocale(LC_MESSAGES, "");
    const ParseResult parsed = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.ok()) {
        printError(parsed.error);
        return ExitCode::Usage;
    }
    switch (parsed.action) {
    case CliAction::Help: std::fputs(helpText().c_str(), stdout); return ExitCode::Done;
    case CliAction::Version: std::printf("%s\n", versionLine().c_str()); return ExitCode::Done;
    case CliAction::Run: break;
    }
    return ToolRun(parsed.options).run();
}

}  // namespace qv::cli
