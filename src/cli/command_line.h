#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/tone_assembly.h"
#include "imageio/save_options.h"
#include "imageio/working_image.h"

namespace qv::cli {

enum class CliAction { Run, Help, Version };

// Everything the command line asks for, checked: values are in range, the
// preset and the fields exist, and the inputs and outputs fit together.
struct CliOptions {
    std::vector<std::string> inputs;
    std::string output;                  // single run: the file to write
    SaveFileType type = SaveFileType::Tiff16;  // resolved from -t or the output's extension
    std::optional<int> jpegQuality;      // absent: the stored quality
    std::optional<ImageSize> resizeBox;  // scale down into this box
    ToneRequest tone;
    std::optional<int> previewMode;      // 0 full size, 1 800, 2 1280, 3 2048
    std::optional<bool> rawNoiseReduction;
    std::optional<bool> rawAutoWhiteBalance;
    std::optional<bool> lightRecovery;
    std::string saveSettingsPath;        // empty: none
    std::optional<int> threads;          // workers per stage
    bool each = false;                   // every input on its own into outputDir
    std::string outputDir;
    bool quiet = false;
    bool timings = false;                // time spent in each stage, after each image
    std::string warning;                 // one line about a choice that works but looks like a slip
};

struct ParseResult {
    CliAction action = CliAction::Run;
    CliOptions options;
    std::string error;  // one line for the user when the command line is wrong
    bool ok() const { return error.empty(); }
};

// Reads the arguments (without the program name). Options and files may come
// in any order; "--" ends the options. Long options take their value as the
// next argument or after "=", short ones as the next argument or attached.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// The file type an output name implies: .jpg/.jpeg JPEG, .tif/.tiff 16-bit
// TIFF (letter case ignored); nothing for any other name.
std::optional<SaveFileType> typeFromExtension(const std::string& path);

// The extension a batch gives its outputs of that type (".jpg" or ".tif").
const char* extensionFor(SaveFileType type);

}  // namespace qv::cli
