#pragma once

#include <string>

namespace qv::test {

// A fresh, empty directory under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of a file named `name` inside the directory.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Copies a file; false when it cannot be read or written.
bool copyFile(const std::string& from, const std::string& to);
// Writes text into a new file.
bool writeTextFile(const std::string& path, const std::string& text);

}  // namespace qv::test
