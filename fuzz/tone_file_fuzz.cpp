// Decodes arbitrary bytes as a settings file and checks what the reader
// promises: every value in its range, the record untouched on failure, and a
// loaded record that is written and read again comes back the same.

#include <cstdint>
#include <cstdlib>

#include "settings/tone_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const qv::ToneSettings prefill;
    qv::ToneSettings record;
    const qv::ToneFileDecode result = qv::decodeToneFile({data, size}, record);
    if (result.status != qv::ToneFileStatus::Ok) {
        if (result.size != 0 || !qv::sameToneValues(record, prefill))
            std::abort();
        return 0;
    }
    if (result.size > size || result.size > qv::kToneFileSize)
        std::abort();
    for (const qv::ToneField& f : qv::toneFields())
        if (record.*f.member < f.min || record.*f.member > f.max)
            std::abort();

    const auto written = qv::encodeToneFile(record);
    qv::ToneSettings reread;
    const qv::ToneFileDecode again = qv::decodeToneFile(written, reread);
    if (again.status != qv::ToneFileStatus::Ok || again.size != qv::kToneFileSize ||
        !qv::sameToneValues(reread, record))
        std::abort();
    return 0;
}
