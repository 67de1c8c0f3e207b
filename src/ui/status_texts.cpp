#include "ui/status_texts.h"

#include <charconv>
#include <cstdio>

#include "engine/status_codes.h"

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

std::string oneDecimal(double value)
{
    // to_chars ignores the locale, which a Qt program sets from the desktop.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1).ptr;
    return std::string(buffer, end);
}

std::string statusLine(int code, int percent)
{
    const std::string pattern = statusText(code);
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            ++i;
            text += pattern[i] == 'd' ? std::to_string(percent) : std::string(1, pattern[i]);
        } else {
            text += pattern[i];
        }
    }
    return text;
}

bool statusInTitle(int code)
{
    return code == StatusCode::Loading || code == StatusCode::Saving ||
           (code >= StatusCode::Merging && code <= StatusCode::FinalOutput) ||
           (code >= StatusCode::ColorNR && code <= StatusCode::Light);
}

std::string runTimeText(uint32_t milliseconds)
{
    const double seconds = milliseconds / 1000.0;
    if (seconds < 60)
        return "Gotowe  (" + oneDecimal(seconds) + "sek.)";
    const auto whole = static_cast<uint32_t>(seconds);
    return "Gotowe  (" + std::to_string(whole / 60) + " min. " + std::to_string(whole % 60) + " sec.)";
}

std::string imageInfoText(const std::string& path, int width, int height, int bitDepth)
{
    if (path.empty())
        return {};
    return path + "   " + std::to_string(width) + " x " + std::to_string(height) +
           (bitDepth == 48 ? " 48bpp sRGB" : " 24bpp sRGB");
}

}  // namespace qv::ui
