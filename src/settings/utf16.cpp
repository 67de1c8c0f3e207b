#include "settings/utf16.h"

#include <cstdint>

namespace qv {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code points of UTF-8 text; a malformed sequence gives one replacement
// character per byte.
std::u32string codePoints(std::string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            valid = (next >> 6) == 2;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && c >= kSmallest[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        out.push_back(valid ? c : kReplacement);
        i += valid ? extra + 1 : 1;
    }
    return out;
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static constexpr uint8_t kLeadBits[] = {0, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLeadBits[extra] | (c >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

}  // namespace

std::u16string toUtf16(std::string_view text)
{
    std::u16string out;
    for (char32_t c : codePoints(text)) {
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view units)
{
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string_view utf16Head(std::u16string_view units, std::size_t limit)
{
    if (units.size() <= limit)
        return units;
    return units.substr(0, limit > 0 && isHighSurrogate(units[limit - 1]) ? limit - 1 : limit);
}

}  // namespace qv
