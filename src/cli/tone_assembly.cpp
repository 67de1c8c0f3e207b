#include "cli/tone_assembly.h"

#include <filesystem>

#include "settings/tone_defaults.h"
#include "settings/tone_file.h"

namespace qv::cli {

namespace {

std::string settingsFileError(const std::string& path, const ToneFileResult& result)
{
    std::string reason;
    switch (result.status) {
    case ToneFileStatus::IoError: reason = result.systemMessage; break;
    case ToneFileStatus::UnknownTag: reason = "nieznany format pliku ustawień"; break;
    case ToneFileStatus::Truncated: reason = "plik ustawień jest niekompletny"; break;
    case ToneFileStatus::Ok: break;
    }
    return "Błąd wczytywania „" + path + "”: " + reason;
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
                              std::string* companionUsed)
{
    ToneSettings settings = shared;
    if (request.companion) {
        const std::string companion = companionToneFilePath(imagePath);
        // Only a plain file is read: a folder or a pipe of that name is no
        // settings file, and reading a pipe could block the run.
        std::error_code error;
        if (std::filesystem::is_regular_file(companion, error) && loadToneFile(settings, companion, &shared).ok()) {
            if (companionUsed)
                *companionUsed = companion;
        } else {
            settings = shared;
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
