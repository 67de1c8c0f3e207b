// Loading a 24-megapixel JPEG: the codec's decode and conversion to 24-bit,
// and the whole single-file decode that also fills the 16-bit source.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>

#include <atomic>
#include <cstdio>
#include <string>

#include "engine/processing_context.h"
#include "imageio/decode_file.h"
#include "imaging/codec.h"

namespace {

// A 6000 x 4000 JPEG made once from a test photo scaled up.
const std::string& bigJpeg()
{
    static const std::string path = [] {
        const std::string out = "/tmp/quorvelin_bench_24mp.jpg";
        const QImage photo(QString(QV_TESTDATA_DIR) + "/photo_people_bar_portrait.jpg");
        photo.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(QString::fromStdString(out), "JPEG", 90);
        return out;
    }();
    return path;
}

void BM_CodecDecodeAndConvert(benchmark::State& state)
{
    const std::string& path = bigJpeg();
    for (auto _ : state) {
        qv::codec::DecodedImage image;
        if (!image.load(path).ok())
            state.SkipWithError("decode failed");
        auto bitmap = qv::Bitmap::create(image.width(), image.height(), qv::PixelFormat::Bgr24);
        if (!image.drawInto(*bitmap))
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(bitmap->bits());
    }
}
BENCHMARK(BM_CodecDecodeAndConvert)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeFileToSourcePair(benchmark::State& state)
{
    const std::string& path = bigJpeg();
    for (auto _ : state) {
        qv::ProcessingContext ctx;
        std::atomic<bool> abort{false};
        qv::SourcePair pair;
        if (!qv::decodeFile(path, ctx, abort, pair))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pair.image16->bits());
    }
}
BENCHMARK(BM_DecodeFileToSourcePair)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
