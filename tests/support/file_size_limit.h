#pragma once

#include <sys/resource.h>

namespace qv::test {

// While the object lives, writes of this process beyond `bytes` into any file
// fail with EFBIG (the signal that would end the process is ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

}  // namespace qv::test
