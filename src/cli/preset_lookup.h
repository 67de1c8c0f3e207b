#pragma once

#include <string>
#include <string_view>

#include "settings/tone_settings.h"

namespace qv::cli {

// The built-in preset a user names on the command line: its number 1..10 in
// menu order, or its menu name in any letter case, with or without Polish
// diacritics ("Ludzie B&W", "ludzie b&&w"). nullptr when none matches.
const TonePreset* findPreset(std::string_view nameOrNumber);

// "1 Krajobraz, 2 Krajobraz 2, ..." for messages and help.
std::string presetListText();

}  // namespace qv::cli
