#include "codec/libtiff_quiet.h"

#include <mutex>

#include <tiffio.h>

namespace qv {

void silenceLibtiff()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

}  // namespace qv
