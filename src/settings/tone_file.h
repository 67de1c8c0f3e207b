#pragma once

#include <string>

#include "settings/tone_file_format.h"
#include "settings/tone_settings.h"

namespace qv {

struct ToneFileResult {
    ToneFileStatus status = ToneFileStatus::Ok;
    std::string systemMessage;  // the system's text for an IoError, else empty

    bool ok() const { return status == ToneFileStatus::Ok; }
};

// Writes the record in the current layout. The file is written beside the
// target under a temporary name and renamed over the target only once it is
// complete, so a failed save leaves an existing file as it was.
ToneFileResult saveToneFile(const ToneSettings& settings, const std::string& path);

// Pre-fills the record's values with `base` (or the construction defaults
// when none is given), then reads a settings file of any known version over
// them. On any failure the record holds exactly the pre-fill. The name is
// never touched.
ToneFileResult loadToneFile(ToneSettings& record, const std::string& path,
                            const ToneSettings* base = nullptr);

// The path without the file name's extension (the part from its last ".");
// a "." in a folder name is not an extension.
std::string pathWithoutExtension(const std::string& path);
// The settings file that goes with an image: its extension replaced by ".qvl".
std::string companionToneFilePath(const std::string& imagePath);

}  // namespace qv
