#include "settings/tone_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qv {

namespace {

ToneFileResult ioError(int error)
{
    return {ToneFileStatus::IoError, std::strerror(error)};
}

// A name beside the target that no other save (of this or another process)
// uses at the same time; creation with O_EXCL settles any clash.
std::string temporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool writeAll(int fd, const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes the bytes to a new file at `path`, flushed to the disk. Returns 0 or
// the error number; a file that could not be completed is removed.
int writeNewFile(const std::string& path, const uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int error = 0;
    if (!writeAll(fd, data, size) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(path.c_str());
    return error;
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
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = temporaryNameFor(path);
        error = writeNewFile(temporary, bytes.data(), bytes.size());
    }
    if (error != 0)
        return ioError(error);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
        return ioError(error);
    }
    return {};
}

ToneFileResult loadToneFile(ToneSettings& record, const std::string& path, const ToneSettings* base)
{
    copyToneValues(base ? *base : ToneSettings{}, record);

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
