#pragma once

#include <string>
#include <string_view>

namespace qv {

// UTF-16 code units of UTF-8 text; each malformed byte becomes U+FFFD.
std::u16string toUtf16(std::string_view text);
// UTF-8 text of UTF-16 code units; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view units);
// The first `limit` code units, less one where the cut would split a pair.
std::u16string_view utf16Head(std::u16string_view units, std::size_t limit);

}  // namespace qv
