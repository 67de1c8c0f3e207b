#pragma once

#include <tiffio.h>

#include <memory>
#include <string>

namespace qv {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Opens a TIFF for reading without a word on the terminal about damage (the
// caller's answer says enough) and with a bound on what libtiff may allocate
// at once for a file whose tags claim absurd sizes. Null when it is no TIFF.
TiffFile openTiffQuietly(const std::string& path);

// Whether every strip or tile of the current directory lies inside the file
// and their bytes could hold the picture the directory declares: all of it
// when uncompressed, a plausible share when compressed. A file cut short, or
// a header that claims a huge picture over a few bytes, fails this before
// anything of the picture is allocated.
bool directoryHoldsItsPicture(TIFF* tiff);

// Whether the TIFF at `path` has any directory (the main chain and the
// SubIFDs that camera RAW files keep their data in) whose strips or tiles
// reach past the end of the file. False for a file that is no TIFF.
bool tiffDataCutShort(const std::string& path);

}  // namespace qv
