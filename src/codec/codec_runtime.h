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

// Keeps what image libraries print straight to the standard error stream off
// the terminal while a file is read: libpng, for one, is given no handler for
// its fatal errors by the toolkit and prints "libpng error: ..." itself. For
// the captures' lifetime (they may overlap, on any threads) the stream goes to
// a file of its own; when the last ends, the stream is restored and every
// line but the libraries' is passed on, in order.
class LibraryOutputCapture {
public:
    LibraryOutputCapture();
    ~LibraryOutputCapture();
    LibraryOutputCapture(const LibraryOutputCapture&) = delete;
    LibraryOutputCapture& operator=(const LibraryOutputCapture&) = delete;
};

// For a program about to end while a capture may still run (a decode that
// does not stop): gives the standard error stream back at once, with what
// was captured so far, so that the program's last lines reach the terminal.
void endLibraryOutputCaptureNow();

}  // namespace qv::codec
