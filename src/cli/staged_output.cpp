#include "cli/staged_output.h"

#include <sys/stat.h>

#include <cerrno>

namespace qv::cli {

namespace {

int permissionBitsOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

}  // namespace

StagedOutput::StagedOutput(const std::string& target)
    : target_(target), targetMode_(permissionBitsOf(target)), file_(target)
{
}

int StagedOutput::commit()
{
    // The save replaces the temporary file by name, so the replacement's own
    // copy of the permission bits reaches the old, unlinked file only; they
    // are set on the saved file by name here.
    if (targetMode_ >= 0 && ::chmod(savePath().c_str(), static_cast<mode_t>(targetMode_)) != 0)
        return errno;
    return file_.commit();
}

}  // namespace qv::cli
