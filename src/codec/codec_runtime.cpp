#include "codec/codec_runtime.h"

#include <atomic>
#include <mutex>
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

}  // namespace

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
