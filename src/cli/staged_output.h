#pragma once

#include <string>

#include "settings/replacement_file.h"

namespace qv::cli {

// The file one job writes. The save goes to a temporary file beside the
// target, which takes the target's place only when the job decides so: JPEG
// and 8-bit TIFF encoding cannot be stopped half-way, so a Ctrl+C that comes
// during it must still keep the result from appearing. Until commit() an
// existing target stays exactly as it was, and the temporary file is removed
// when the object goes.
class StagedOutput {
public:
    explicit StagedOutput(const std::string& target);

    // 0 when the temporary file could be made, else the error number.
    int error() const { return file_.error(); }
    // Where the save writes.
    const std::string& savePath() const { return file_.temporaryPath(); }
    // Puts the saved file in the target's place, with the permission bits an
    // existing target had: 0 or the error number.
    int commit();

private:
    std::string target_;
    int targetMode_ = -1;  // permission bits of an existing target
    ReplacementFile file_;
};

}  // namespace qv::cli
