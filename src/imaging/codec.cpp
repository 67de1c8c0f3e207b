#include "imaging/codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QString>
#include <QtGlobal>

#include <tiffio.h>

namespace qv::codec {

namespace {

// The toolkit refuses pictures above 256 MB by default, which many camera
// photos exceed. Our own pixel limit (kMaxDecodedPixels) is checked first;
// this is the backstop for decoders that learn their size late, sized for the
// widest decoded format (8 bytes per pixel).
constexpr int kAllocationLimitMb = static_cast<int>(kMaxDecodedPixels * 8 / (1024 * 1024));

QtMessageHandler previousHandler = nullptr;

// The image plugins report damaged files on the terminal ("Premature end of
// JPEG file", "Corrupt JPEG data"); their answer already says what happened,
// so those messages are dropped and everything else goes on as before.
void dropImageIoMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const char* category = context.category ? context.category : "";
    if (std::strncmp(category, "qt.gui.imageio", 14) == 0 || std::strncmp(category, "qt.imageformats", 15) == 0)
        return;
    if (previousHandler)
        previousHandler(type, context, text);
}

void prepareImageIo()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMb);
        previousHandler = qInstallMessageHandler(dropImageIoMessages);
        // The toolkit's TIFF plugin reports through libtiff's process-wide
        // handlers, which print to the terminal unless cleared.
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

Answer answer(Status status, std::string message = {}) { return Answer{status, std::move(message)}; }
Answer systemError(int code) { return answer(Status::SystemError, std::strerror(code)); }
Answer outOfMemory() { return answer(Status::OutOfMemory, std::strerror(ENOMEM)); }

// Opens a file for the toolkit through a descriptor of our own, so that a
// failure carries the system's error code rather than a generic answer.
Answer openFile(const std::string& path, int flags, QFile& file, QIODevice::OpenMode mode)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemError(errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return systemError(EISDIR);
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return answer(Status::Failed);
    }
    return answer(Status::Ok);
}

// A QImage over a bitmap's own rows (our rows are 4-byte aligned, as
// QImage requires), without copying.
QImage viewOf(Bitmap& bitmap)
{
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.stride(), QImage::Format_BGR888);
}

// Read-only: a write to this view would detach into a copy.
QImage viewOf(const Bitmap& bitmap)
{
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.stride(), QImage::Format_BGR888);
}

}  // namespace

struct DecodedImage::Impl {
    QImage image;
};

DecodedImage::DecodedImage() : impl_(std::make_unique<Impl>()) {}
DecodedImage::~DecodedImage() = default;
DecodedImage::DecodedImage(DecodedImage&&) noexcept = default;
DecodedImage& DecodedImage::operator=(DecodedImage&&) noexcept = default;

Answer DecodedImage::load(const std::string& path)
{
    prepareImageIo();
    release();
    QFile file;
    const Answer opened = openFile(path, O_RDONLY, file, QIODevice::ReadOnly);
    if (!opened.ok())
        return opened;

    // The format is told from the content, not from the name.
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    if (declared.isValid() && static_cast<long long>(declared.width()) * declared.height() > kMaxDecodedPixels)
        return outOfMemory();

    QImage image;
    if (!reader.read(&image)) {
        if (reader.error() == QImageReader::UnsupportedFormatError)
            return answer(Status::UnknownFormat);
        if (file.error() != QFileDevice::NoError)
            return answer(Status::SystemError, file.errorString().toStdString());
        return answer(Status::Failed);
    }
    impl_->image = std::move(image);
    return answer(Status::Ok);
}

bool DecodedImage::empty() const { return impl_->image.isNull(); }
int DecodedImage::width() const { return impl_->image.width(); }
int DecodedImage::height() const { return impl_->image.height(); }

bool DecodedImage::drawInto(Bitmap& target24) const
{
    const QImage& image = impl_->image;
    if (image.isNull() || target24.format() != PixelFormat::Bgr24 || target24.width() != image.width() ||
        target24.height() != image.height())
        return false;
    QImage target = viewOf(target24);
    QPainter painter;
    if (!painter.begin(&target))
        return false;
    painter.drawImage(0, 0, image);
    return painter.end();
}

void DecodedImage::release() { impl_->image = QImage(); }

bool hasEncoder(const std::string& mimeType)
{
    return QImageWriter::supportedMimeTypes().contains(QByteArray::fromStdString(mimeType));
}

Answer encode(const Bitmap& image24, const std::string& path, const EncodeOptions& options)
{
    prepareImageIo();
    if (image24.format() != PixelFormat::Bgr24)
        return answer(Status::Failed);
    const QByteArray mime(mimeType(options.type));
    if (!QImageWriter::supportedMimeTypes().contains(mime))
        return answer(Status::Failed);

    const QImage image = viewOf(image24);

    QFile file;
    const Answer opened = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, file, QIODevice::WriteOnly);
    if (!opened.ok())
        return opened;
    QImageWriter writer(&file, options.type == FileType::Jpeg ? "jpeg" : "tiff");
    if (options.type == FileType::Jpeg)
        writer.setQuality(options.jpegQuality);
    if (!options.title.empty())
        writer.setText(QStringLiteral("Title"), QString::fromStdString(options.title));
    const bool written = writer.write(image);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return answer(Status::SystemError, file.errorString().toStdString());
    return written ? answer(Status::Ok) : answer(Status::Failed);
}

}  // namespace qv::codec
