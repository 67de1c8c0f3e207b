#include "ui/status_texts.h"

#include <initializer_list>
#include <string_view>

#include "text/number_text.h"
#include "text/status_text.h"
#include "text/string_table.h"

namespace qv::ui {

std::string versionText(int major, int minor, int patch, int build)
{
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (patch != 0)
        text += "." + std::to_string(patch);
    if (build != 0)
        text += " (build " + std::to_string(build) + ")";
    return text;
}

std::string titleBase()
{
    return "Quorvelin " + versionText(QUORVELIN_VERSION_MAJOR, QUORVELIN_VERSION_MINOR, QUORVELIN_VERSION_PATCH,
                                      QUORVELIN_VERSION_TWEAK + 0);
}

namespace {

// A string-table text with its "%d" and "%.1f" replaced by `values` in turn
// (already formatted, so that the desktop's locale plays no part) and "%%"
// by "%".
std::string filled(std::string_view pattern, std::initializer_list<std::string> values)
{
    auto next = values.begin();
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            text += pattern[i];
        } else if (pattern.substr(i, 2) == "%%") {
            text += '%';
            ++i;
        } else {
            const std::size_t length = pattern.substr(i, 4) == "%.1f" ? 4 : 2;
            if (next != values.end())
                text += *next++;
            i += length - 1;
        }
    }
    return text;
}

}  // namespace

std::string withPercent(const char* pattern, int percent) { return filled(pattern, {std::to_string(percent)}); }

std::string statusLine(StatusCode code, int percent) { return withPercent(text::statusText(code), percent); }

bool statusInTitle(StatusCode code)
{
    const int n = static_cast<int>(code);
    return code == StatusCode::Loading || code == StatusCode::Saving ||
           (n >= static_cast<int>(StatusCode::Merging) && n <= static_cast<int>(StatusCode::FinalOutput)) ||
           (n >= static_cast<int>(StatusCode::ColorNR) && n <= static_cast<int>(StatusCode::Light));
}

std::string runTimeText(uint32_t milliseconds)
{
    const double seconds = milliseconds / 1000.0;
    if (seconds < 60)
        return filled(text::k105, {text::oneDecimal(seconds)});
    const auto whole = static_cast<uint32_t>(seconds);
    return filled(text::k155, {std::to_string(whole / 60), std::to_string(whole % 60)});
}

std::string imageInfoText(const std::string& path, int width, int height, int bitDepth)
{
    if (path.empty())
        return {};
    return path + "   " + std::to_string(width) + " x " + std::to_string(height) +
           (bitDepth == 48 ? " 48bpp sRGB" : " 24bpp sRGB");
}

}  // namespace qv::ui
