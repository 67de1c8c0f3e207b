#pragma once

// The memory a stretch of a benchmark program works in, as the kernel counts it.
//
// The meter clears the referenced mark of every page of the process and its
// peak resident size when it starts. At the end, the pages marked again are
// the memory the stretch touched (planes read or written, scratch it still
// holds), and the fall from the peak to the resident size now is what it
// allocated, touched and gave back (scratch freed at the end of a run). Their
// sum is the stretch's working set; code and library pages it ran through
// count too, a few megabytes at most. Linux and the GNU C library only.

#include <malloc.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace qv::bench {

class WorkingSetMeter {
public:
    // Memory freed before the start goes back to the system first: otherwise
    // the allocator may hand it back during the stretch, and that fall of the
    // resident size would count as the stretch's own.
    WorkingSetMeter()
    {
        ::malloc_trim(0);
        started_ = command("1") && command("5");
    }

    // The bytes worked in since the start; 0 where the kernel does not tell.
    std::size_t bytes() const
    {
        if (!started_)
            return 0;
        const std::size_t referenced = kilobytes("/proc/self/smaps_rollup", "Referenced:");
        const std::size_t peak = kilobytes("/proc/self/status", "VmHWM:");
        const std::size_t resident = kilobytes("/proc/self/status", "VmRSS:");
        return 1024 * (referenced + (peak > resident ? peak - resident : 0));
    }

private:
    // "1" clears the referenced marks, "5" the peak resident size.
    static bool command(const char* code)
    {
        std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
        if (!f)
            return false;
        const bool written = std::fputs(code, f) >= 0;
        return std::fclose(f) == 0 && written;
    }

    // The first "<key> <n> kB" line of a /proc file, in kilobytes.
    static std::size_t kilobytes(const char* file, const char* key)
    {
        std::ifstream in(file);
        const std::size_t keyLength = std::strlen(key);
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, keyLength, key) == 0)
                return std::stoull(line.substr(keyLength));
        return 0;
    }

    bool started_ = false;
};

}  // namespace qv::bench
