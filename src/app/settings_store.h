#pragma once

#include <memory>
#include <string>

#include "settings/key_value_store.h"

class QSettings;

namespace qv {

// The per-user store of the program and the command-line tool, kept by
// QSettings. A section is a QSettings group; integers and texts keep their
// stored names.
class QSettingsStore : public KeyValueStore {
public:
    // The user's own store: organisation and application "Quorvelin", in the
    // platform's native format.
    QSettingsStore();
    // A store in the INI file at `iniPath` (created when first written).
    explicit QSettingsStore(const std::string& iniPath);
    ~QSettingsStore() override;

    // A stored value that is not an integer reads as missing.
    std::optional<long long> readInt(const std::string& section, const std::string& name) const override;
    std::optional<std::string> readText(const std::string& section, const std::string& name) const override;
    void writeInt(const std::string& section, const std::string& name, long long value) override;
    void writeText(const std::string& section, const std::string& name, const std::string& value) override;

    // Writes pending changes to permanent storage; false when that failed.
    bool sync();

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace qv
