#include "settings/tone_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "settings/file_checks.h"
#include "settings/replacement_file.h"
#include "text/failure_text.h"

namespace qv {

namespace {

ToneFileResult ioError(int error)
{
    return {ToneFileStatus::IoError, failureReason(error)};
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

}  // namespace

ToneFileResult saveToneFile(const ToneSettings& settings, const std::string& path)
{
    const auto bytes = encodeToneFile(settings);
    const int error = replaceFileContent(path, bytes.data(), bytes.size());
    return error == 0 ? ToneFileResult{} : ioError(error);
}

ToneFileResult loadToneFile(ToneSettings& record, const std::string& path, const ToneSettings* base)
{
    copyToneValues(base ? *base : ToneSettings{}, record);

    // A pipe would block the read and a folder cannot be read; an empty
    // file is simply too short.
    if (const int error = inputFileError(path); error != 0 && error != kErrorEmptyFile)
        return ioError(error);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return ioError(errno);
    std::array<uint8_t, kToneFileSize> bytes{};
    const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()))
        return ioError(errno);
    return {decodeToneFile(std::span(bytes.data(), read), record).status, {}};
}

std::string pathWithoutExtension(const std::string& path)
{
    std::size_t nameStart = path.size();
    while (nameStart > 0 && !isSeparator(path[nameStart - 1]))
        --nameStart;
    const std::size_t dot = path.rfind('.');
    // A leading "." marks a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart)
        return path;
    return path.substr(0, dot);
}

std::string companionToneFilePath(const std::string& imagePath)
{
    return pathWithoutExtension(imagePath) + ".qvl";
}

}  // namespace qv
