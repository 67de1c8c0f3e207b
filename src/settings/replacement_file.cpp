#include "settings/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace qv {

namespace {

// Longest name of one folder entry, in bytes, on the usual file systems.
constexpr std::size_t kMaxNameBytes = 255;

// A name beside the target that no other write (of this or another process)
// uses at the same time; creation with O_EXCL settles any clash. The
// target's name is cut where the suffix would make the name too long.
std::string temporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    const std::string suffix = "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    const std::size_t nameStart = target.rfind('/') + 1;  // 0 without a folder
    const std::size_t nameBytes = std::min(target.size() - nameStart, kMaxNameBytes - suffix.size());
    return target.substr(0, nameStart + nameBytes) + suffix;
}

constexpr int kNameAttempts = 100;

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target) : target_(target)
{
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error_ = EISDIR;
            return;
        }
        if (S_ISREG(info.st_mode))
            targetMode_ = static_cast<int>(info.st_mode & 07777);
    }
    error_ = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error_ == EEXIST; ++attempt) {
        temporary_ = temporaryNameFor(target);
        fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error_ = fd_ < 0 ? errno : 0;
    }
    if (error_ != 0)
        temporary_.clear();
}

ReplacementFile::~ReplacementFile() { discard(); }

int ReplacementFile::write(const uint8_t* data, std::size_t size)
{
    if (fd_ < 0)
        return error_ != 0 ? error_ : EBADF;
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int ReplacementFile::commit()
{
    if (fd_ < 0)
        return error_ != 0 ? error_ : EBADF;
    int error = 0;
    // Applied only now, so that a read-only target does not keep writers
    // that open the temporary file by name from writing it.
    if (targetMode_ >= 0)
        ::fchmod(fd_, static_cast<mode_t>(targetMode_));
    if (::fsync(fd_) != 0)
        error = errno;
    if (::close(fd_) != 0 && error == 0)
        error = errno;
    fd_ = -1;
    if (error == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0)
        error = errno;
    committed_ = error == 0;
    if (!committed_)
        discard();
    return error;
}

void ReplacementFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

int replaceFileContent(const std::string& target, const uint8_t* data, std::size_t size)
{
    ReplacementFile file(target);
    int error = file.error();
    if (error == 0)
        error = file.write(data, size);
    if (error == 0)
        error = file.commit();
    return error;
}

}  // namespace qv
