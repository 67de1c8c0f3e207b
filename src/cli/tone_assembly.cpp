#include "cli/tone_assembly.h"

#include <cerrno>

#include "settings/file_checks.h"
#include "settings/tone_defaults.h"
#include "settings/tone_file.h"
#include "text/failure_text.h"

namespace qv::cli {

namespace {

std::string settingsFileReason(const ToneFileResult& result)
{
    switch (result.status) {
    case ToneFileStatus::IoError: return result.systemMessage;
    case ToneFileStatus::UnknownTag: return "nieznany format pliku ustawień";
    case ToneFileStatus::Truncated: return "plik ustawień jest niekompletny";
    case ToneFileStatus::Ok: break;
    }
    return {};
}

std::string settingsFileError(const std::string& path, const ToneFileResult& result)
{
    return failureLine(kLoadErrorText, path, settingsFileReason(result));
}

void applyAssignments(const std::vector<ToneAssignment>& assignments, ToneSettings& settings)
{
    for (const ToneAssignment& a : assignments)
        settings.*a.field->member = a.value;
}

}  // namespace

ToneAssembly sharedToneSettings(const ToneRequest& request, const KeyValueStore& store)
{
    ToneAssembly out;
    if (!request.factory)
        readToneDefaults(store, out.settings);
    if (request.preset)
        copyToneValues(request.preset->settings, out.settings);
    if (!request.settingsFile.empty()) {
        const ToneSettings base = out.settings;
        const ToneFileResult result = loadToneFile(out.settings, request.settingsFile, &base);
        if (!result.ok())
            out.error = settingsFileError(request.settingsFile, result);
    }
    return out;
}

ToneSettings settingsForImage(const ToneRequest& request, const ToneSettings& shared, const std::string& imagePath,
                              std::string* companionUsed, std::string* companionIgnored)
{
    ToneSettings settings = shared;
    if (request.companion) {
        const std::string companion = companionToneFilePath(imagePath);
        // Only a plain file is read: a folder or a pipe of that name is no
        // settings file, and reading a pipe could block the run.
        const int error = inputFileError(companion);
        const ToneFileResult result = error == 0 ? loadToneFile(settings, companion, &shared)
                                                 : ToneFileResult{ToneFileStatus::IoError, failureReason(error)};
        if (result.ok()) {
            if (companionUsed)
                *companionUsed = companion;
        } else {
            settings = shared;
            if (companionIgnored && error != ENOENT && error != ENOTDIR)
                *companionIgnored = failureLine("Pominięto plik ustawień", companion, settingsFileReason(result));
        }
    }
    applyAssignments(request.assignments, settings);
    return settings;
}

ToneSettings settingsWithoutCompanion(const ToneRequest& request, const ToneSettings& shared)
{
    ToneSettings settings = shared;
    applyAssignments(request.assignments, settings);
    return settings;
}

}  // namespace qv::cli
