#include "ui/thumbnail_panel.h"

#include <QPainter>
#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <thread>

#include "engine/pipeline/processing_context.h"
#include "imageio/resample.h"
#include "imageio/working_image.h"
#include "imaging/bitmap.h"
#include "codec/qimage_view.h"
#include "ui/display_reduction.h"

namespace qv {

namespace {

// Beyond this many times the thumbnail's size a photo is first reduced by
// area means to that multiple, so that the cubic filter reads a few hundred
// thousand pixels instead of every pixel of a large result after each run.
constexpr int kPrereduction = 4;

// The area-mean reduction the cubic filter starts from: the given one when it
// is large enough (no second pass over the image), else one made now; null
// when the image is small enough to be filtered directly.
QImage prereduced(const Bitmap& image, ImageSize size, const QImage* reduced)
{
    if (reduced && reduced->width() >= kPrereduction * size.width && reduced->height() >= kPrereduction * size.height)
        return reduced->convertToFormat(QImage::Format_BGR888);
    if (image.width() > kPrereduction * size.width && image.height() > kPrereduction * size.height)
        return ui::reduceForDisplay(image, kPrereduction * size.width, kPrereduction * size.height)
            .convertToFormat(QImage::Format_BGR888);
    return {};
}

// A copy of `image` reduced to `size` with the cubic filter; nullptr on failure.
std::unique_ptr<Bitmap> shrunk(const Bitmap& image, ImageSize size, const QImage* reduced)
{
    PixelRows<const uint8_t> source{image.bits(), image.width(), image.height(), image.stride()};
    const QImage smaller = prereduced(image, size, reduced);
    if (!smaller.isNull())
        source = {smaller.constBits(), smaller.width(), smaller.height(), smaller.bytesPerLine()};
    auto target = Bitmap::create(size.width, size.height, PixelFormat::Bgr24);
    const std::size_t workFloats = resampleWorkFloats(size.width, source.height);
    std::unique_ptr<float[]> work(new (std::nothrow) float[workFloats]);
    if (!target || !work)
        return nullptr;
    const std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    // One worker per processor: for a picture this small the stages' extra
    // workers only add thread start-ups.
    const int workers =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, ProcessingContext::defaultWorkerCount());
    const ResampleControl control{abort, progress, workers};
    const ResampleResult result = resampleImage(
        source, PixelRows<uint8_t>{target->bits(), target->width(), target->height(), target->stride()}, work.get(),
        ResampleKernel::Cubic, control);
    return result == ResampleResult::Done ? std::move(target) : nullptr;
}

}  // namespace

QImage renderThumbnail(const Bitmap& image, QSize panel, const QImage* reduced)
{
    if (image.format() != PixelFormat::Bgr24 || panel.isEmpty())
        return {};
    QImage canvas(panel, QImage::Format_RGB32);
    if (canvas.isNull())
        return {};
    canvas.fill(Qt::black);

    const ImageSize fitted = fitToBox(image.width(), image.height(), panel.width(), panel.height());
    std::unique_ptr<Bitmap> small;
    if (fitted.width != image.width() || fitted.height != image.height()) {
        small = shrunk(image, fitted, reduced);
        if (!small)
            return {};
    }
    QPainter painter(&canvas);
    painter.drawImage((panel.width() - fitted.width) / 2, (panel.height() - fitted.height) / 2,
                      qimageView(small ? *small : image));
    return canvas;
}

}  // namespace qv
