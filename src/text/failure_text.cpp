#include "text/failure_text.h"

#include <cerrno>
#include <cstring>

namespace qv {

std::string failureReason(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return "nie ma takiego pliku";
    case EACCES:
    case EPERM: return "brak dostępu";
    case EISDIR: return "to jest folder, a nie plik";
    case ENOSPC:
    case EDQUOT: return "brak miejsca na dysku";
    case ENOMEM: return "za mało pamięci";
    case ENAMETOOLONG: return "za długa nazwa pliku";
    case EROFS: return "nośnik jest tylko do odczytu";
    case ELOOP: return "dowiązania symboliczne tworzą pętlę";
    case kErrorNotRegularFile: return "to nie jest zwykły plik (potok, urządzenie lub gniazdo)";
    case kErrorEmptyFile: return "plik jest pusty";
    default: return std::strerror(error);
    }
}

std::string quotedPath(const std::string& path) { return "„" + path + "”"; }

std::string failureLine(const std::string& what, const std::string& path, const std::string& reason)
{
    std::string line = what;
    if (!path.empty())
        line += " " + quotedPath(path);
    if (!reason.empty())
        line += ": " + reason;
    return line;
}

std::string pictureSizeText(int64_t width, int64_t height)
{
    return std::to_string(width) + " × " + std::to_string(height) + " pikseli";
}

}  // namespace qv
