#pragma once

#include <string>

namespace qv {

// 0 when `path` names a plain file with something in it that can be opened
// for reading. Otherwise why not: the system's error number (ENOENT, EACCES,
// ELOOP, ...), EISDIR for a folder, kErrorNotRegularFile for a pipe, device
// or socket, kErrorEmptyFile for zero bytes. Nothing is read: a pipe is
// refused without waiting for a writer.
int inputFileError(const std::string& path);

}  // namespace qv
