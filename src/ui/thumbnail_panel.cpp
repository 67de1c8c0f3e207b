#include "ui/thumbnail_panel.h"

#include <QPainter>
#include <atomic>
#include <memory>
#include <new>

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

// A copy of `image` reduced to `size` with the cubic filter; nullptr on failure.
std::unique_ptr<Bitmap> shrunk(const Bitmap& image, ImageSize size)
{
    PixelRows<const uint8_t> source{image.bits(), image.width(), image.height(), image.stride()};
    QImage prereduced;
    if (image.width() > kPrereduction * size.width && image.height() > kPrereduction * size.height) {
        prereduced = ui::reduceForDisplay(image, kPrereduction * size.width, kPrereduction * size.height)
                         .convertToFormat(QImage::Format_BGR888);
        if (prereduced.isNull())
            return nullptr;
        source = {prereduced.constBits(), prereduced.width(), prereduced.height(), prereduced.bytesPerLine()};
    }
    auto target = Bitmap::create(size.width, size.height, PixelFormat::Bgr24);
    const std::size_t workFloats = resampleWorkFloats(size.width, source.height);
    std::unique_ptr<float[]> work(new (std::nothrow) float[workFloats]);
    if (!target || !work)
        return nullptr;
    const std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    const ResampleControl control{abort, progress, ProcessingContext::defaultWorkerCount()};
    const int result = resampleImage(
        source, PixelRows<uint8_t>{target->bits(), target->width(), target->height(), target->stride()}, work.get(),
        ResampleKernel::Cubic, control);
    return result == ResampleResult::Done ? std::move(target) : nullptr;
}

}  // namespace

QImage renderThumbnail(const Bitmap& image, QSize panel)
{
    if (image.format() != PixelFormat::Bgr24 || panel.isEmpty())
        return {};
    QImage canvas(panel, QImage::Format_RGB32);
    if (canvas.isNull())
        return {};
    canvas.fill(Qt::black);

    const ImageSize fitted = fitToBox(image.width(), image.height(), panel.width(), panel.height());
    std::unique_ptr<Bitmap> reduced;
    if (fitted.width != image.width() || fitted.height != image.height()) {
        reduced = shrunk(image, fitted);
        if (!reduced)
            return {};
    }
    QPainter painter(&canvas);
    painter.drawImage((panel.width() - fitted.width) / 2, (panel.height() - fitted.height) / 2,
                      qimageView(reduced ? *reduced : image));
    return canvas;
}

}  // namespace qv
