#pragma once

#include <cstdint>

#include "settings/tone_settings.h"

namespace qv {

// A whole record to put in place of the current one, with the dirty bits
// that doing so sets: the stages whose values differ, and always the final
// output.
struct ToneChange {
    ToneSettings record;
    uint32_t dirtyBits = 0;
};

ToneChange wholeRecordChange(const ToneSettings& incoming, const ToneSettings& current);

}  // namespace qv
