#include "settings/image_name.h"

#include <algorithm>
#include <cctype>

#include "settings/tone_file.h"

namespace qv {

namespace {

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
    });
}

std::vector<std::string> sortedIgnoringCase(std::vector<std::string> files)
{
    std::stable_sort(files.begin(), files.end(), lessIgnoringCase);
    return files;
}

std::string fileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the beginning all names share, never ending inside a UTF-8
// character, so that the joined name stays valid text.
std::size_t commonPrefixLength(const std::vector<std::string>& names)
{
    std::size_t length = names.front().size();
    for (const std::string& name : names) {
        const std::string& first = names.front();
        const auto mismatch = std::mismatch(first.begin(), first.begin() + length, name.begin(), name.end());
        length = static_cast<std::size_t>(mismatch.first - first.begin());
    }
    while (length > 0 && length < names.front().size() && isContinuationByte(names.front()[length]))
        --length;
    return length;
}

std::string combinedName(const std::vector<std::string>& sortedFiles)
{
    std::vector<std::string> baseNames;
    for (const std::string& file : sortedFiles)
        baseNames.push_back(pathWithoutExtension(fileNameOf(file)));
    const std::size_t prefix = commonPrefixLength(baseNames);
    std::string name = baseNames.front().substr(0, prefix);
    if (prefix == baseNames.front().size())
        return name;
    for (std::size_t i = 0; i < baseNames.size(); ++i) {
        if (i > 0)
            name += '_';
        name += baseNames[i].substr(prefix);
    }
    return name;
}

}  // namespace

std::string imageDisplayName(const std::vector<std::string>& files)
{
    if (files.empty())
        return {};
    if (files.size() == 1)
        return fileNameOf(files.front());
    return combinedName(sortedIgnoringCase(files));
}

std::string imagePathOf(const std::vector<std::string>& files)
{
    if (files.empty())
        return {};
    if (files.size() == 1)
        return files.front();
    const std::vector<std::string> sorted = sortedIgnoringCase(files);
    return folderOf(sorted.front()) + combinedName(sorted);
}

}  // namespace qv
