#include "codec/codec_encode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include "codec/codec_runtime.h"
#include "codec/qimage_view.h"
#include "text/failure_text.h"

namespace qv::codec {

namespace {

// A random-access device over a file descriptor that remembers the first
// failed write or seek.
class WatchedFile : public QIODevice {
public:
    explicit WatchedFile(int fd) : fd_(fd) {}

    // 0, or the error number of the first failure.
    int failure() const { return failure_; }

    bool isSequential() const override { return false; }

    qint64 size() const override
    {
        struct stat info {};
        return ::fstat(fd_, &info) == 0 ? static_cast<qint64>(info.st_size) : 0;
    }

    bool seek(qint64 pos) override
    {
        if (::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0)
            return fail(errno);
        return QIODevice::seek(pos);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const ssize_t read = ::read(fd_, data, static_cast<std::size_t>(maxSize));
        return read < 0 ? -1 : read;
    }

    qint64 writeData(const char* data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t written = ::write(fd_, data + done, static_cast<std::size_t>(size - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                fail(errno);
                return -1;
            }
            done += written;
        }
        return done;
    }

private:
    bool fail(int error)
    {
        if (failure_ == 0)
            failure_ = error;
        return false;
    }

    int fd_;
    int failure_ = 0;
};

}  // namespace

bool hasEncoder(const std::string& mimeType)
{
    return QImageWriter::supportedMimeTypes().contains(QByteArray::fromStdString(mimeType));
}

Answer encodeToDescriptor(const Bitmap& image24, int fd, const EncodeOptions& options)
{
    if (image24.format() != PixelFormat::Bgr24 || fd < 0)
        return {Status::Failed, {}};
    prepareImageIo();
    const QImage image = qimageView(image24);

    WatchedFile file(fd);
    file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QImageWriter writer(&file, options.type == FileType::Jpeg ? "jpeg" : "tiff");
    if (options.type == FileType::Jpeg)
        writer.setQuality(options.jpegQuality);
    if (!options.title.empty())
        writer.setText(QStringLiteral("Title"), QString::fromStdString(options.title));
    const bool written = writer.write(image);

    if (file.failure() == ENOMEM)
        return {Status::OutOfMemory, failureReason(ENOMEM)};
    if (file.failure() != 0)
        return {Status::SystemError, failureReason(file.failure())};
    if (!written)
        return {Status::Failed, {}};
    return {Status::Ok, {}};
}

}  // namespace qv::codec
