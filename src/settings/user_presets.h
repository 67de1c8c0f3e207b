#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/tone_change.h"
#include "settings/tone_settings.h"

namespace qv {

// The user's named presets, in menu and file order. Each record carries its
// name in `ToneSettings::name` (UTF-8).
using UserPresetList = std::vector<ToneSettings>;

inline constexpr std::size_t kMaxUserPresets = 49;
// Longest name, in UTF-16 code units (the unit the presets file counts in).
inline constexpr std::size_t kMaxPresetNameLength = 30;

// Length of a UTF-8 name in UTF-16 code units.
std::size_t presetNameLength(std::string_view name);
// The name cut to its first kMaxPresetNameLength UTF-16 code units, never
// inside a character that takes two of them.
std::string truncatePresetName(std::string_view name);

// The name "Dodaj" proposes for a preset of an image: the image name up to
// its last ".".
std::string proposedPresetName(std::string_view imageName);

// Whether "Dodaj" can add another preset to the list.
inline bool canAddUserPreset(const UserPresetList& presets) { return presets.size() < kMaxUserPresets; }
// Appends a copy of `current` named with the first characters of `name`;
// false (and nothing added) when the list is full or the name empty.
bool addUserPreset(UserPresetList& presets, const ToneSettings& current, std::string_view name);
// Entry `index` as a change of the current record; nothing beyond the list.
std::optional<ToneChange> userPresetChange(const UserPresetList& presets, std::size_t index,
                                           const ToneSettings& current);

enum class UserPresetsStatus {
    Ok,
    Missing,    // no presets file yet: nothing to report
    IoError,    // the file could not be opened, read or written
    WrongTag,   // not a presets file: nothing loaded
    Damaged,    // an entry ends early or holds no readable record: the entries before it were loaded
};

struct UserPresetsResult {
    UserPresetsStatus status = UserPresetsStatus::Ok;
    std::string systemMessage;  // the system's text for an IoError, else empty

    bool ok() const { return status == UserPresetsStatus::Ok; }
};

// The presets file ("UserSettings.qvl"): a four-byte tag, a 16-bit entry
// count, then per entry the byte length of the name, the name in UTF-16LE
// and the record in the settings-file layout. All integers little-endian.
std::vector<uint8_t> encodeUserPresets(const UserPresetList& presets);

// Appends the entries of a presets file to `presets`, at most `limit` of
// them. A record of an older settings-file version is read as a settings
// file would be. Reading stops at the first damaged entry, which is not kept.
UserPresetsStatus decodeUserPresets(std::span<const uint8_t> bytes, UserPresetList& presets,
                                    std::size_t limit = kMaxUserPresets);

// Reads the presets file at `path` into the (empty) list.
UserPresetsResult loadUserPresets(UserPresetList& presets, const std::string& path,
                                  std::size_t limit = kMaxUserPresets);

// Writes the list to `path` through a temporary file in the same folder that
// replaces the previous file only once complete.
UserPresetsResult saveUserPresets(const UserPresetList& presets, const std::string& path);

}  // namespace qv
