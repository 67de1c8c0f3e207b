// Preparing the working image of a 24 MP photo in the 1280 px preview mode:
// the preparation alone, and a whole load with the JPEG decoded by Qt the
// way the codec adapter does; and the preparation alone at full size.
// Memory per pixel of the photo loaded.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstring>
#include <memory>

#include "camera_jpeg.h"
#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "imageio/working_image.h"
#include "imaging/bitmap.h"
#include "working_set.h"

namespace qv::bench {
namespace {

constexpr std::size_t kLoadedPixels = std::size_t(kCameraJpegWidth) * kCameraJpegHeight;

// The decoded pair of a QImage: 8-bit blue, green, red and the 16-bit widening.
void putDecodedPair(PipelineState& state, const QImage& decoded)
{
    const QImage rgb = decoded.convertToFormat(QImage::Format_BGR888);
    state.source = Bitmap::create(rgb.width(), rgb.height(), PixelFormat::Bgr24);
    state.working = Bitmap::create(rgb.width(), rgb.height(), PixelFormat::Bgr48);
    for (int y = 0; y < rgb.height(); ++y) {
        // Qt's BGR888 keeps red first in memory; the bitmap wants blue first.
        const uint8_t* in = rgb.constScanLine(y);
        uint8_t* out = state.source->row(y);
        for (int x = 0; x < rgb.width(); ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    widenTo16(*state.source, *state.working);
}

struct PreviewContext : ImageIoContext {
    PreviewContext() { config.previewMode = 2; }
};

// The preparation of fresh copies of the decoded photo, in the preview mode
// that Context sets.
template <class Context>
void prepareDecodedCopies(benchmark::State& bm)
{
    PipelineState decoded;
    putDecodedPair(decoded, QImage(QString::fromStdString(cameraJpeg())));
    auto copyOfDecoded = [&] {
        auto pipeline = std::make_unique<PipelineState>();
        pipeline->source = Bitmap::create(kCameraJpegWidth, kCameraJpegHeight, PixelFormat::Bgr24);
        pipeline->working = Bitmap::create(kCameraJpegWidth, kCameraJpegHeight, PixelFormat::Bgr48);
        std::memcpy(pipeline->source->bits(), decoded.source->bits(), decoded.source->byteSize());
        std::memcpy(pipeline->working->bits(), decoded.working->bits(), decoded.working->byteSize());
        return pipeline;
    };
    timeAndMeasureEach(bm, kLoadedPixels, copyOfDecoded, [](std::unique_ptr<PipelineState>& pipeline) {
        Context ctx;
        return prepareWorkingImage(ctx, *pipeline);
    });
}

void PrepareWorkingImage24MpPreview1280(benchmark::State& bm) { prepareDecodedCopies<PreviewContext>(bm); }
BENCHMARK(PrepareWorkingImage24MpPreview1280)->Unit(benchmark::kMillisecond)->UseRealTime();

// The full-size mode keeps the decoded size: planes and buffers only.
void PrepareWorkingImage24MpFullSize(benchmark::State& bm) { prepareDecodedCopies<ImageIoContext>(bm); }
BENCHMARK(PrepareWorkingImage24MpFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();

void LoadJpeg24MpPreview1280(benchmark::State& bm)
{
    const QString path = QString::fromStdString(cameraJpeg());
    timeAndMeasure(bm, kLoadedPixels, [&] {
        PipelineState pipeline;
        QImageReader reader(path);
        putDecodedPair(pipeline, reader.read());
        PreviewContext ctx;
        return prepareWorkingImage(ctx, pipeline);
    });
}
BENCHMARK(LoadJpeg24MpPreview1280)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qv::bench
