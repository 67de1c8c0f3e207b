#pragma once

#include <string>

namespace qv {

// The file forms a save can write, numbered as the save dialog's type list.
enum class SaveFileType { Jpeg = 1, Tiff8 = 2, Tiff16 = 3 };

// One save request: the window's last "save as" choice, or the command
// line's.
struct SaveOptions {
    std::string path;                          // the file to write
    SaveFileType type = SaveFileType::Tiff16;
    int jpegQuality = 90;                      // 0..100, JPEG only
    bool resize = false;                       // scale down to width x height
    int width = 0;
    int height = 0;
};

}  // namespace qv
