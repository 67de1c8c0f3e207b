#include "codec/codec_runtime.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include <QImageReader>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

#include "codec/codec.h"
#include "codec/libtiff_quiet.h"

namespace qv::codec {

namespace {

// The toolkit refuses pictures above 256 MB by default, which many camera
// photos exceed. Our own pixel limit (kMaxDecodedPixels) is checked first;
// this is the backstop for decoders that learn their size late, sized for the
// widest decoded format (8 bytes per pixel).
constexpr int kAllocationLimitMb = static_cast<int>(kMaxDecodedPixels * 8 / (1024 * 1024));

constexpr std::string_view kImageIoCategories[] = {"qt.gui.imageio", "qt.imageformats"};

// libjpeg's warnings for entropy-coded data that is missing or unreadable:
// the rows behind it are filled in rather than decoded. Other warnings
// (extraneous bytes between segments, an unreadable colour profile, an
// unknown JFIF revision) leave the pixels intact.
constexpr std::string_view kJpegDamage[] = {
    "Premature end of JPEG file",
    "Corrupt JPEG data: premature end of data segment",
    "Corrupt JPEG data: bad Huffman code",
    "Corrupt JPEG data: bad arithmetic code",
    "Corrupt JPEG data: found marker",
};

// The flag of the watch running on this thread, if any.
thread_local bool* watchedDamage = nullptr;

// What was installed before ours, called on for everything else. Read on
// any thread that logs.
std::atomic<QtMessageHandler> previousHandler{nullptr};
std::atomic<QLoggingCategory::CategoryFilter> previousFilter{nullptr};

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isImageIoCategory(std::string_view category)
{
    for (std::string_view prefix : kImageIoCategories)
        if (startsWith(category, prefix))
            return true;
    return false;
}

bool reportsDamage(std::string_view category, std::string_view text)
{
    if (category != "qt.gui.imageio.jpeg")
        return false;
    for (std::string_view damage : kJpegDamage)
        if (startsWith(text, damage))
            return true;
    return false;
}

// The image plugins report damaged files on the terminal; their answer (or
// the running watch) already says what happened, so those messages are
// dropped and everything else goes on as before.
void filterImageIoMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::string_view category = context.category ? context.category : "";
    if (!isImageIoCategory(category)) {
        if (const QtMessageHandler previous = previousHandler.load())
            previous(type, context, text);
        return;
    }
    if (watchedDamage && reportsDamage(category, text.toStdString()))
        *watchedDamage = true;
}

// Damage is seen only through the plugins' warnings, so those stay switched
// on whatever logging rules the environment sets.
void keepImageIoWarnings(QLoggingCategory* category)
{
    if (const QLoggingCategory::CategoryFilter previous = previousFilter.load())
        previous(category);
    if (isImageIoCategory(category->categoryName()))
        category->setEnabled(QtWarningMsg, true);
}

// Lines the image libraries print themselves.
constexpr std::string_view kLibraryLines[] = {"libpng error: ", "libpng warning: "};

struct CaptureState {
    std::mutex mutex;
    int users = 0;
    std::atomic<int> capture{-1};  // where the stream goes meanwhile
    std::atomic<int> saved{-1};    // the stream's own descriptor, kept aside
};
CaptureState captureState;

bool isLibraryLine(std::string_view line)
{
    for (std::string_view prefix : kLibraryLines)
        if (startsWith(line, prefix))
            return true;
    return false;
}

// Writes what was captured to `fd`, without the libraries' lines.
void passOn(int capture, int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    ::lseek(capture, 0, SEEK_SET);
    while ((got = ::read(capture, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        const std::string_view line(text.data() + start, end - start);
        if (!isLibraryLine(line))
            for (std::size_t done = 0; done < line.size();) {
                const ssize_t written = ::write(fd, line.data() + done, line.size() - done);
                if (written <= 0)
                    break;
                done += static_cast<std::size_t>(written);
            }
        start = end;
    }
}

}  // namespace

LibraryOutputCapture::LibraryOutputCapture()
{
    const std::lock_guard lock(captureState.mutex);
    if (captureState.users++ > 0)
        return;
    std::fflush(stderr);
    const int capture = ::memfd_create("library-output", MFD_CLOEXEC);
    const int saved = capture >= 0 ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0) : -1;
    captureState.capture.store(capture);
    if (saved >= 0) {
        ::dup2(capture, STDERR_FILENO);
        captureState.saved.store(saved);
    }
}

LibraryOutputCapture::~LibraryOutputCapture()
{
    const std::lock_guard lock(captureState.mutex);
    if (--captureState.users > 0)
        return;
    std::fflush(stderr);
    // Taken, not read: endLibraryOutputCaptureNow() may have restored it.
    if (const int saved = captureState.saved.exchange(-1); saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        passOn(captureState.capture.load(), STDERR_FILENO);
        ::close(saved);
    }
    if (const int capture = captureState.capture.exchange(-1); capture >= 0)
        ::close(capture);
}

void endLibraryOutputCaptureNow()
{
    std::fflush(stderr);
    if (const int saved = captureState.saved.exchange(-1); saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        passOn(captureState.capture.load(), STDERR_FILENO);
    }
}

void prepareImageIo()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMb);
        previousHandler = qInstallMessageHandler(filterImageIoMessages);
        previousFilter = QLoggingCategory::installFilter(keepImageIoWarnings);
        silenceLibtiff();
    });
}

DamageWatch::DamageWatch() { watchedDamage = &damageReported_; }

DamageWatch::~DamageWatch() { watchedDamage = nullptr; }

}  // namespace qv::codec
