#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace qv {

// Per-user persistent values by section and name: integers and texts. The
// program keeps them in its configuration file; tests use MemoryStore.
class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    virtual std::optional<long long> readInt(const std::string& section, const std::string& name) const = 0;
    virtual std::optional<std::string> readText(const std::string& section, const std::string& name) const = 0;
    virtual void writeInt(const std::string& section, const std::string& name, long long value) = 0;
    virtual void writeText(const std::string& section, const std::string& name, const std::string& value) = 0;
};

// The section that holds the options and the stored default tone values.
inline constexpr const char* kSettingsSection = "Settings";

// A store held in memory.
class MemoryStore : public KeyValueStore {
public:
    std::optional<long long> readInt(const std::string& section, const std::string& name) const override
    {
        auto it = ints_.find({section, name});
        return it == ints_.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> readText(const std::string& section, const std::string& name) const override
    {
        auto it = texts_.find({section, name});
        return it == texts_.end() ? std::nullopt : std::optional(it->second);
    }
    void writeInt(const std::string& section, const std::string& name, long long value) override
    {
        ints_[{section, name}] = value;
    }
    void writeText(const std::string& section, const std::string& name, const std::string& value) override
    {
        texts_[{section, name}] = value;
    }

private:
    std::map<std::pair<std::string, std::string>, long long> ints_;
    std::map<std::pair<std::string, std::string>, std::string> texts_;
};

}  // namespace qv
