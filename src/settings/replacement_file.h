#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

// A new file that takes the place of `target` only once it is complete. The
// content is written to a temporary file in the target's folder, which
// commit() renames over the target. Until then the target stays exactly as it
// was, and a temporary file that is not committed is removed when the object
// goes, so a failed or abandoned write leaves neither a damaged target nor a
// partial file behind.
//
// A symbolic link is followed: the file it names is replaced and the link
// stays. A target that no file can replace (a folder, a pipe, a device, a
// socket, an immutable file, a name longer than the folder allows) is
// refused before anything is created.
//
// The content can be written through write() or descriptor(), or by any
// writer that opens temporaryPath() by name while this object lives.
class ReplacementFile {
public:
    explicit ReplacementFile(const std::string& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // 0 when the temporary file was created, else the error number: EISDIR
    // for a folder, kErrorNotRegularFile (text/failure_text.h) for a pipe, device
    // or socket, EPERM for an immutable file, ENAMETOOLONG, ELOOP, or what
    // creating the temporary file met.
    int error() const { return error_; }
    const std::string& temporaryPath() const { return temporary_; }
    // The temporary file, open for reading and writing until commit().
    int descriptor() const { return fd_; }

    // Appends bytes to the temporary file: 0 or the error number.
    int write(const uint8_t* data, std::size_t size);

    // Flushes the temporary file to the disk and renames it over the target:
    // 0 or the error number. On failure the temporary file is removed and
    // the target is left as it was.
    int commit();

private:
    void discard();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    int error_ = 0;
    int targetMode_ = -1;  // permission bits of an existing target, kept by the replacement
    int slot_ = -1;        // where removeTemporaryFilesNow() finds the temporary file
    bool committed_ = false;
};

// Replaces `target` with `size` bytes, through a ReplacementFile: 0 or the
// error number, with the target as it was on failure.
int replaceFileContent(const std::string& target, const uint8_t* data, std::size_t size);

// Removes every temporary file of a ReplacementFile that exists at this
// moment. Safe to call from a signal handler, for a program that is about to
// end at once (the objects are not told).
void removeTemporaryFilesNow();

}  // namespace qv
