#pragma once

#include <QString>

#include "settings/user_presets.h"

class QWidget;

namespace qv {

// "UserSettings.qvl" in the user's own data folder (the program's folder is
// not the user's to write on Linux).
QString userPresetsFilePath();

// Reads the presets at start-up. No file yet is no error; a file that
// cannot be read is reported in a message box. What was read stays.
void loadUserPresetsAtStart(UserPresetList& presets, const QString& path, QWidget* parent);

// Writes the presets at exit, creating the folder if needed. On failure the
// user is told in a message box, the previous file stays as it was, and
// false is returned.
bool saveUserPresetsAtExit(const UserPresetList& presets, const QString& path, QWidget* parent);

}  // namespace qv
