// Preparing the working image of a 24 MP photo in the 1280 px preview mode:
// the preparation alone (with the prepared state's bytes per working pixel),
// and a whole load with the JPEG decoded by Qt the way the codec adapter does.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstring>
#include <memory>

#include "engine/processing_context.h"
#include "imageio/working_image.h"
#include "imaging/bitmap.h"

namespace {

using namespace qv;

// A 24 MP JPEG made once from the portrait photo of the test material.
const QString& bigJpegPath()
{
    static const QString path = [] {
        const QString out = QStringLiteral("/tmp/quorvelin_bench_24mp.jpg");
        QImage photo(QStringLiteral(QV_TESTDATA_DIR "/photo_people_bar_portrait.jpg"));
        photo.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(out, "JPEG", 90);
        return out;
    }();
    return path;
}

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

struct PreviewContext : ProcessingContext {
    PreviewContext() { config.previewMode = 2; }
};

void BM_PrepareWorkingImage24MpPreview1280(benchmark::State& state)
{
    PipelineState decoded;
    putDecodedPair(decoded, QImage(bigJpegPath()));
    double bytesPerPixel = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PipelineState pipeline;
        pipeline.source = Bitmap::create(6000, 4000, PixelFormat::Bgr24);
        pipeline.working = Bitmap::create(6000, 4000, PixelFormat::Bgr48);
        std::memcpy(pipeline.source->bits(), decoded.source->bits(), decoded.source->byteSize());
        std::memcpy(pipeline.working->bits(), decoded.working->bits(), decoded.working->byteSize());
        PreviewContext ctx;
        state.ResumeTiming();
        if (!prepareWorkingImage(ctx, pipeline))
            state.SkipWithError("preparation failed");
        bytesPerPixel = static_cast<double>(workingImageBytes(pipeline)) / pipeline.pixelCount();
    }
    state.counters["bytes/px"] = bytesPerPixel;
}
BENCHMARK(BM_PrepareWorkingImage24MpPreview1280)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadJpeg24MpPreview1280(benchmark::State& state)
{
    const QString& path = bigJpegPath();
    for (auto _ : state) {
        PipelineState pipeline;
        QImageReader reader(path);
        putDecodedPair(pipeline, reader.read());
        PreviewContext ctx;
        if (!prepareWorkingImage(ctx, pipeline))
            state.SkipWithError("preparation failed");
    }
}
BENCHMARK(BM_LoadJpeg24MpPreview1280)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
