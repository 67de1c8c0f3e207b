#include "text/status_text.h"

#include "text/string_table.h"

namespace qv::text {

const char* statusText(StatusCode code)
{
    switch (code) {
    case StatusCode::Loading: return k117;
    case StatusCode::Saving: return k118;
    case StatusCode::LoadError: return k119;
    case StatusCode::SaveError: return k120;
    case StatusCode::ProcessingError: return k121;
    case StatusCode::Merging: return k112;
    case StatusCode::DetailSetup: return k115;
    case StatusCode::Smoothing: return k132;
    case StatusCode::Smoothing2: return k134;
    case StatusCode::Detail: return k106;
    case StatusCode::Region: return k108;
    case StatusCode::ToneCurve: return k107;
    case StatusCode::FinalOutput: return k113;
    case StatusCode::ColorNR: return k133;
    case StatusCode::Softening: return k114;
    case StatusCode::Sharpening: return k159;
    case StatusCode::Light: return k165;
    case StatusCode::Ready:
    case StatusCode::Ready2: return k124;
    case StatusCode::Aborted: return k123;
    case StatusCode::UpdateCheck: return k122;
    default: return "";
    }
}

}  // namespace qv::text
