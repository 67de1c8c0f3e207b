#include "settings/replacement_file.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/failure_text.h"

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

// The temporary files that exist at this moment, where a signal handler can
// reach them: fixed slots that are never freed, so that the handler reads
// no memory that another thread could release under it.
// A slot's path is read only once it is complete, never while being filled.
constexpr int kSlots = 16;
enum SlotState : int { kFree, kFilling, kHeld };
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX] = {};
};
TemporarySlot temporarySlots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slots");

int rememberTemporary(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!temporarySlots[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(temporarySlots[i].path, path.c_str(), path.size() + 1);
        temporarySlots[i].state.store(kHeld);
        return i;
    }
    return -1;
}

void forgetTemporary(int slot)
{
    if (slot >= 0)
        temporarySlots[slot].state.store(kFree);
}

// Follows symbolic links from `path` to the name that is finally written:
// a link is kept and the file it names is replaced. A link to a file that
// does not exist yet names the file to create.
int resolveLinks(const std::string& path, std::string& resolved)
{
    resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return 0;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(resolved.c_str(), link, sizeof link - 1);
        if (length < 0)
            return errno;
        const std::string destination(link, static_cast<std::size_t>(length));
        resolved = destination.starts_with('/') ? destination
                                                : resolved.substr(0, resolved.rfind('/') + 1) + destination;
    }
    return ELOOP;
}

// Why an existing target could not be replaced (a folder, anything but a
// plain file, a file the system keeps from being replaced); 0 for a plain
// file or none.
int existingTargetError(const std::string& target, int& mode)
{
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (!S_ISREG(info.st_mode))
        return kErrorNotRegularFile;
    mode = static_cast<int>(info.st_mode & 07777);
    // An immutable or append-only file refuses to be renamed over; asked
    // now so that the failure comes before any work, not after it.
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    int flags = 0;
    const bool locked = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                        (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
    if (fd >= 0)
        ::close(fd);
    return locked ? EPERM : 0;
}

// ENAMETOOLONG when the target's own name is longer than its folder allows
// (the temporary name is shortened to fit, so only the final rename would
// find out).
int nameLengthError(const std::string& target)
{
    const std::size_t nameStart = target.rfind('/') + 1;
    const std::string folder = nameStart == 0 ? "." : target.substr(0, nameStart);
    const long maxName = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return maxName > 0 && target.size() - nameStart > static_cast<std::size_t>(maxName) ? ENAMETOOLONG : 0;
}

}  // namespace

void removeTemporaryFilesNow()
{
    for (TemporarySlot& slot : temporarySlots)
        if (slot.state.load() == kHeld)
            ::unlink(slot.path);
}

ReplacementFile::ReplacementFile(const std::string& target)
{
    error_ = resolveLinks(target, target_);
    if (error_ == 0)
        error_ = existingTargetError(target_, targetMode_);
    if (error_ == 0)
        error_ = nameLengthError(target_);
    if (error_ != 0)
        return;
    error_ = EEXIST;
    // Each name is known to removeTemporaryFilesNow() before the file
    // exists, so that a signal in between leaves nothing behind.
    for (int attempt = 0; attempt < kNameAttempts && error_ == EEXIST; ++attempt) {
        temporary_ = temporaryNameFor(target_);
        slot_ = rememberTemporary(temporary_);
        fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error_ = fd_ < 0 ? errno : 0;
        if (error_ != 0) {
            forgetTemporary(slot_);
            slot_ = -1;
        }
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
    forgetTemporary(slot_);
    slot_ = -1;
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
