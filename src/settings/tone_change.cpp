#include "settings/tone_change.h"

namespace qv {

ToneChange wholeRecordChange(const ToneSettings& incoming, const ToneSettings& current)
{
    return {incoming, compareToneSettings(incoming, current) | DirtyBits::Output};
}

}  // namespace qv
