#pragma once

#include <cstdint>
#include <string>

#include "text/status_codes.h"

namespace qv::ui {

// "1.1.2" for 1.1.2.0, "1.1" for 1.1.0.0; a build number other than 0 adds
// " (build N)".
std::string versionText(int major, int minor, int patch, int build);
// "Quorvelin" and the program's version: the title before the image name.
std::string titleBase();

// A string-table text with "%d" taking the percentage.
std::string withPercent(const char* pattern, int percent);
// The status line of a code, "%d" taking the percentage; empty for codes
// without text.
std::string statusLine(StatusCode code, int percent);
// Codes whose status line is also shown in the window title.
bool statusInTitle(StatusCode code);
// What the status bar says when a run of `milliseconds` has ended.
std::string runTimeText(uint32_t milliseconds);

// Pane 2: the image's path, its working size and the source's depth.
std::string imageInfoText(const std::string& path, int width, int height, int bitDepth);

}  // namespace qv::ui
