#include "settings/file_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "text/failure_text.h"

namespace qv {

int inputFileError(const std::string& path)
{
    // The kind is looked at before anything is opened: opening a pipe would
    // wait for a writer, and opening a device can do things of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (!S_ISREG(info.st_mode))
        return kErrorNotRegularFile;
    if (::access(path.c_str(), R_OK) != 0)
        return errno;
    return info.st_size == 0 ? kErrorEmptyFile : 0;
}

}  // namespace qv
