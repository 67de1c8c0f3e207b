#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace qv {

enum class Tiff16WriteStatus {
    Written,
    CannotCreate,  // the file could not be opened for writing
    WriteError,    // the library failed to write a row or to finish the file
    Aborted,       // the abort flag was seen between rows
};

struct Tiff16WriteResult {
    Tiff16WriteStatus status = Tiff16WriteStatus::Written;
    // The system's error number of a file that could not be created or
    // written (a full disk, say), or 0 when the system gave none.
    int systemError = 0;
};

// Writes width x height pixels of packed red, green, blue (unsigned 16-bit
// each, rows of width x 3 values, contiguous) as an uncompressed 16-bit RGB
// TIFF with one row per strip and no metadata beyond the layout. `percent`
// follows the rows written (row x 100 / height); `abort` is tested after each
// row. A file that is not Written is left incomplete for the caller to remove.
Tiff16WriteResult writeTiff16(const std::string& path, const uint16_t* rgb, int width, int height,
                              const std::atomic<bool>& abort, std::atomic<int>& percent);

}  // namespace qv
