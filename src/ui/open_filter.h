#pragma once

#include <string>
#include <vector>

namespace qv::ui {

// The open dialogs' filters: first every supported type together, then
// BMP, PNG, TIFF and JPEG as far as an image plug-in for them is present
// (`formats`: Qt's lower-case format names), camera RAW files, and all files.
std::vector<std::string> openFilters(const std::vector<std::string>& formats);

}  // namespace qv::ui
