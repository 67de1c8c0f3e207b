#pragma once

#include <string>

namespace qv::test {

// Copies a file, replacing the target; false when it cannot be read or written.
bool copyFile(const std::string& from, const std::string& to);
// Writes text (or any bytes) into a new file.
bool writeTextFile(const std::string& path, const std::string& text);
// The whole content of a file; empty when it cannot be read.
std::string fileBytes(const std::string& path);

}  // namespace qv::test
