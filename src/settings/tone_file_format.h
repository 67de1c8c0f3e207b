#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "settings/tone_settings.h"

namespace qv {

// Outcome of reading or writing a settings file (*.qvl).
enum class ToneFileStatus {
    Ok,
    IoError,     // the file could not be opened, read or written
    UnknownTag,  // the first four bytes are no known version tag
    Truncated,   // the file ends before its version's layout does
};

// Size of the current layout: a four-byte version tag and seventeen
// little-endian 16-bit words.
inline constexpr std::size_t kToneFileSize = 38;

// The record's fifteen values in the current layout. The name is not stored.
std::array<uint8_t, kToneFileSize> encodeToneFile(const ToneSettings& settings);

struct ToneFileDecode {
    ToneFileStatus status;
    std::size_t size;  // bytes of the recognised layout; 0 on failure
};

// Reads one record (tag and body, any known version) from the front of
// `bytes` into `record`, clamping every value into its range. `record`
// holds the pre-fill on entry: the values an older version lacks and no
// version rule sets keep it. On failure `record` is left untouched. Bytes
// beyond the layout are not looked at.
ToneFileDecode decodeToneFile(std::span<const uint8_t> bytes, ToneSettings& record);

}  // namespace qv
