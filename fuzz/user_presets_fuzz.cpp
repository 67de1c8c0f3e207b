// Decodes arbitrary bytes as a presets file and checks what the reader
// promises: at most 49 entries, every value in its range, and a list that is
// written and read again comes back the same, names included.

#include <cstdint>
#include <cstdlib>

#include "settings/user_presets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::UserPresetList presets;
    qv::decodeUserPresets({data, size}, presets);
    if (presets.size() > qv::kMaxUserPresets)
        std::abort();
    for (const qv::ToneSettings& preset : presets)
        for (const qv::ToneField& f : qv::toneFields())
            if (preset.*f.member < f.min || preset.*f.member > f.max)
                std::abort();

    const auto written = qv::encodeUserPresets(presets);
    qv::UserPresetList reread;
    if (qv::decodeUserPresets(written, reread) != qv::UserPresetsStatus::Ok || reread.size() != presets.size())
        std::abort();
    for (std::size_t i = 0; i < presets.size(); ++i)
        if (reread[i].name != presets[i].name || !qv::sameToneValues(reread[i], presets[i]))
            std::abort();
    return 0;
}
