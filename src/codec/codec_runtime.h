#pragma once

namespace qv::codec {

// Prepares the toolkit's image I/O once per process before its first use:
// the allocation limit for large photos, a message filter that keeps the
// image plugins' complaints off the terminal (and hands them to a running
// DamageWatch), and quiet libtiff handlers.
void prepareImageIo();

// Watches one decode on the calling thread for the plugins' reports that the
// file's data ended early or is corrupt. Qt's JPEG plugin, for one, answers a
// truncated file with a whole picture whose missing part is made up; only its
// warning tells the two apart. Watches on one thread do not nest.
class DamageWatch {
public:
    DamageWatch();
    ~DamageWatch();
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    // True when a plugin reported damage on this thread while the watch ran.
    bool damageReported() const { return damageReported_; }

private:
    bool damageReported_ = false;
};

}  // namespace qv::codec
