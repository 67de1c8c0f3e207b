#pragma once

#include <cstdint>
#include <string>

#include "text/string_table.h"

namespace qv {

// The program's own texts for a failed load and a failed save, which begin
// the failure lines below.
inline constexpr const char* kLoadErrorText = text::k119;
inline constexpr const char* kWriteErrorText = text::k120;

// Error numbers of the program's own, for what the system has no number for.
// Negative, so that they never meet a system error number.
inline constexpr int kErrorNotRegularFile = -1001;  // a pipe, device or socket where a file belongs
inline constexpr int kErrorEmptyFile = -1002;       // a file of zero bytes where a picture belongs

// Why something failed, in the words the program shows: the reasons a photo
// tool meets (missing file, no access, folder, disk full, out of memory,
// name too long, read-only) and the program's own numbers above in Polish;
// any other system error as the system words it.
std::string failureReason(int error);

// A path as messages show it: „path”.
std::string quotedPath(const std::string& path);

// One line of a failure: the program's text, the file it concerns (when
// given) and the reason (when given), e.g.
// Błąd wczytywania „a.tif”: plik jest pusty
std::string failureLine(const std::string& what, const std::string& path, const std::string& reason);

// "2000 × 1000 pikseli" style size for reasons about a picture's size.
std::string pictureSizeText(int64_t width, int64_t height);

}  // namespace qv
