#pragma once

#include <string>

#include "imageio/save_options.h"

namespace qv::ui {

// The output size the export options end up with after one edit.
struct ExportSize {
    int width = 0;
    int height = 0;
    bool operator==(const ExportSize&) const = default;
};

// The width was typed: the height follows the image's aspect. Sizes below
// 17 pixels or above the full size fall back to the full size.
ExportSize sizeAfterWidthEdit(int width, int fullWidth, int fullHeight);
// The height was typed: the width follows.
ExportSize sizeAfterHeightEdit(int height, int fullWidth, int fullHeight);

// Both sides as typed, or the full size when either is below 17 pixels or
// beyond the full size.
ExportSize checkedExportSize(int width, int height, int fullWidth, int fullHeight);

// The leading digits of an edit's text as a number; 0 without digits.
int leadingNumber(const std::string& text);

// The extension each type of the save dialog's list writes.
const char* extensionFor(SaveFileType type);
// A file name with its extension (from its last ".") replaced by the type's.
std::string withExtensionFor(const std::string& fileName, SaveFileType type);

}  // namespace qv::ui
