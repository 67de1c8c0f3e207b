#include "ui/export_rules.h"

#include <cctype>
#include <limits>

namespace qv::ui {

namespace {

constexpr int kSmallestSide = 17;

ExportSize checked(long long width, long long height, int fullWidth, int fullHeight)
{
    if (width < kSmallestSide || height < kSmallestSide || width > fullWidth || height > fullHeight)
        return {fullWidth, fullHeight};
    return {static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

ExportSize checkedExportSize(int width, int height, int fullWidth, int fullHeight)
{
    return checked(width, height, fullWidth, fullHeight);
}

ExportSize sizeAfterWidthEdit(int width, int fullWidth, int fullHeight)
{
    if (fullWidth <= 0)
        return {fullWidth, fullHeight};
    return checked(width, static_cast<long long>(width) * fullHeight / fullWidth, fullWidth, fullHeight);
}

ExportSize sizeAfterHeightEdit(int height, int fullWidth, int fullHeight)
{
    if (fullHeight <= 0)
        return {fullWidth, fullHeight};
    return checked(static_cast<long long>(height) * fullWidth / fullHeight, height, fullWidth, fullHeight);
}

int leadingNumber(const std::string& text)
{
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        // A number beyond any image side only has to stay too large.
        value = std::min<long long>(value * 10 + (c - '0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

const char* extensionFor(SaveFileType type) { return type == SaveFileType::Jpeg ? ".jpg" : ".tif"; }

std::string withExtensionFor(const std::string& fileName, SaveFileType type)
{
    const auto dot = fileName.rfind('.');
    return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + extensionFor(type);
}

}  // namespace qv::ui
