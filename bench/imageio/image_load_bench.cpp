// Loading a 24-megapixel JPEG: the codec's decode and conversion to 24-bit,
// and the whole single-file decode that also fills the 16-bit source.
#include <benchmark/benchmark.h>

#include <atomic>

#include "camera_jpeg.h"
#include "codec/codec.h"
#include "imageio/decode_file.h"
#include "imageio/image_io_context.h"
#include "working_set.h"

namespace qv::bench {
namespace {

constexpr std::size_t kLoadedPixels = std::size_t(kCameraJpegWidth) * kCameraJpegHeight;

void CodecDecodeAndConvert(benchmark::State& bm)
{
    const std::string& path = cameraJpeg();
    timeAndMeasure(bm, kLoadedPixels, [&] {
        codec::DecodedImage image;
        if (!image.load(path).ok())
            return false;
        auto bitmap = Bitmap::create(image.width(), image.height(), PixelFormat::Bgr24);
        benchmark::DoNotOptimize(bitmap->bits());
        return image.drawInto(*bitmap);
    });
}
BENCHMARK(CodecDecodeAndConvert)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodeFileToSourcePair(benchmark::State& bm)
{
    const std::string& path = cameraJpeg();
    timeAndMeasure(bm, kLoadedPixels, [&] {
        ImageIoContext ctx;
        std::atomic<bool> abort{false};
        SourcePair pair;
        const bool decoded = decodeFile(path, ctx, abort, pair);
        benchmark::DoNotOptimize(pair.image16.get());
        return decoded;
    });
}
BENCHMARK(DecodeFileToSourcePair)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qv::bench
