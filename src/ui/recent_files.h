#pragma once

#include <string>
#include <vector>

namespace qv {
class KeyValueStore;
}

namespace qv::ui {

// The recently opened files, newest first, at most eight, kept in the
// per-user store under "Recent File List" as "File1".."File8".
class RecentFiles {
public:
    static constexpr std::size_t kCapacity = 8;

    // Puts the file first; an entry already listed moves up.
    void add(const std::string& path);
    void remove(const std::string& path);
    const std::vector<std::string>& entries() const { return entries_; }

    void read(const KeyValueStore& store);
    void write(KeyValueStore& store) const;

private:
    std::vector<std::string> entries_;
};

}  // namespace qv::ui
