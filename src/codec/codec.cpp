#include "codec/codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "codec/bmp_extent.h"
#include "codec/codec_runtime.h"
#include "codec/png_extent.h"
#include "codec/qimage_view.h"
#include "text/failure_text.h"

namespace qv::codec {

namespace {

Answer answer(Status status, std::string message = {}) { return Answer{status, std::move(message)}; }
Answer systemError(int code) { return answer(Status::SystemError, failureReason(code)); }

// Opens a file for reading through a descriptor of our own, so that a
// failure carries the system's error code rather than a generic answer.
Answer openForReading(const std::string& path, QFile& file)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return systemError(EISDIR);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return answer(Status::Failed);
    }
    return answer(Status::Ok);
}

// The toolkit's BMP reader reports nothing when the file ends before its
// rows do; the header says how long the file must be.
bool bmpCutShort(QFile& file)
{
    uint8_t header[kBmpHeaderBytes];
    if (!file.seek(0))
        return false;
    const qint64 read = file.read(reinterpret_cast<char*>(header), sizeof header);
    return read > 0 && bmpRowsCutShort(header, static_cast<std::size_t>(read), static_cast<uint64_t>(file.size()));
}

bool pngCutShort(QFile& file)
{
    const ReadAt readAt = [&file](uint64_t offset, uint8_t* out, std::size_t n) {
        return file.seek(static_cast<qint64>(offset)) &&
               file.read(reinterpret_cast<char*>(out), static_cast<qint64>(n)) == static_cast<qint64>(n);
    };
    const bool cut = codec::pngCutShort(readAt, static_cast<uint64_t>(file.size()));
    return !file.seek(0) || cut;
}

}  // namespace

struct DecodedImage::Impl {
    QImage image;
};

DecodedImage::DecodedImage() : impl_(std::make_unique<Impl>()) {}
DecodedImage::~DecodedImage() = default;

Answer DecodedImage::load(const std::string& path)
{
    prepareImageIo();
    release();
    QFile file;
    const Answer opened = openForReading(path, file);
    if (!opened.ok())
        return opened;

    // Found before the read, which would have libpng complain on the terminal.
    if (pngCutShort(file))
        return answer(Status::Damaged);
    // Notes the damage the plugins report while the file is read, and keeps
    // what their libraries print themselves off the terminal.
    const DamageWatch watch;
    const LibraryOutputCapture quiet;
    // The format is told from the content, not from the name.
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    // Asked before the read: afterwards the reader no longer knows.
    const bool bmp = reader.format() == "bmp";
    if (declared.isValid()) {
        const long long pixels = static_cast<long long>(declared.width()) * declared.height();
        if (pixels > kMaxDecodedPixels) {
            Answer tooLarge = answer(Status::TooLarge);
            tooLarge.declaredWidth = declared.width();
            tooLarge.declaredHeight = declared.height();
            return tooLarge;
        }
        if (pixels > file.size() * kMaxPixelsPerFileByte)
            return answer(Status::Damaged);
    }

    QImage image;
    if (!reader.read(&image)) {
        if (reader.error() == QImageReader::UnsupportedFormatError)
            return answer(Status::UnknownFormat);
        if (file.error() != QFileDevice::NoError)
            return answer(Status::SystemError, file.errorString().toStdString());
        // A known format whose data breaks off or makes no sense.
        if (reader.error() == QImageReader::InvalidDataError)
            return answer(Status::Damaged);
        return answer(Status::Failed);
    }
    if (watch.damageReported() || (bmp && bmpCutShort(file)))
        return answer(Status::Damaged);
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
    QImage target = qimageView(target24);
    QPainter painter;
    if (!painter.begin(&target))
        return false;
    painter.drawImage(0, 0, image);
    return painter.end();
}

void DecodedImage::release() { impl_->image = QImage(); }

}  // namespace qv::codec
