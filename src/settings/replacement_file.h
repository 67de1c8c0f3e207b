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
// The content can be written through write() or descriptor(), or by any
// writer that opens temporaryPath() by name while this object lives.
class ReplacementFile {
public:
    explicit ReplacementFile(const std::string& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // 0 when the temporary file was created, else the error number (EISDIR
    // when the target is a folder, which a file can never replace).
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
    bool committed_ = false;
};

// Replaces `target` with `size` bytes, through a ReplacementFile: 0 or the
// error number, with the target as it was on failure.
int replaceFileContent(const std::string& target, const uint8_t* data, std::size_t size);

}  // namespace qv
