#include "ui/open_filter.h"

#include <algorithm>

namespace qv::ui {

namespace {

struct FileType {
    const char* format;  // the plug-in that must be present; nullptr: read by the program itself
    const char* description;
    const char* patterns;
};

constexpr FileType kTypes[] = {
    {"bmp", "BMP", "*.bmp"},
    {"png", "PNG", "*.png"},
    {"tiff", "TIFF", "*.tif *.tiff"},
    {"jpeg", "JPEG", "*.jpg *.jpeg"},
    {nullptr, "Pliki RAW",
     "*.dng *.cr2 *.crw *.nef *.raw *.dcr *.arw *.cf2 *.erf *.mef *.mrw *.orf *.pef *.raf *.sr2 *.x3f"},
};

}  // namespace

std::vector<std::string> openFilters(const std::vector<std::string>& formats)
{
    std::vector<std::string> typeFilters;
    std::string all;
    for (const FileType& type : kTypes) {
        if (type.format && std::find(formats.begin(), formats.end(), type.format) == formats.end())
            continue;
        typeFilters.push_back(std::string(type.description) + " (" + type.patterns + ")");
        all += (all.empty() ? "" : " ") + std::string(type.patterns);
    }
    std::vector<std::string> filters{"Pliki obrazów (" + all + ")"};
    filters.insert(filters.end(), typeFilters.begin(), typeFilters.end());
    filters.push_back("Wszystkie pliki (*)");
    return filters;
}

}  // namespace qv::ui
