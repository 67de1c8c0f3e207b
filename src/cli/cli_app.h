#pragma once

namespace qv::cli {

// Exit codes of the tool.
namespace ExitCode {
inline constexpr int Done = 0;
inline constexpr int Failed = 1;       // a file could not be loaded, processed or saved
inline constexpr int Usage = 2;        // the command line is wrong
inline constexpr int Interrupted = 130;  // Ctrl+C; SIGTERM gives 143, SIGHUP 129
}  // namespace ExitCode

// The whole tool: reads the command line, then prints help or version, saves
// settings, or processes the images. Returns the exit code.
int runTool(int argc, char** argv);

}  // namespace qv::cli
