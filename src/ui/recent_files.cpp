#include "ui/recent_files.h"

#include <algorithm>

#include "settings/key_value_store.h"

namespace qv::ui {

namespace {

constexpr const char* kSection = "Recent File List";

std::string keyOf(std::size_t index) { return "File" + std::to_string(index + 1); }

}  // namespace

void RecentFiles::add(const std::string& path)
{
    remove(path);
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > kCapacity)
        entries_.resize(kCapacity);
}

void RecentFiles::remove(const std::string& path) { std::erase(entries_, path); }

void RecentFiles::read(const KeyValueStore& store)
{
    entries_.clear();
    for (std::size_t i = 0; i < kCapacity; ++i) {
        const auto path = store.readText(kSection, keyOf(i));
        if (path && !path->empty() && std::find(entries_.begin(), entries_.end(), *path) == entries_.end())
            entries_.push_back(*path);
    }
}

void RecentFiles::write(KeyValueStore& store) const
{
    for (std::size_t i = 0; i < kCapacity; ++i)
        store.writeText(kSection, keyOf(i), i < entries_.size() ? entries_[i] : std::string());
}

}  // namespace qv::ui
