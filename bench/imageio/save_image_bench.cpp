// Saving a 12-megapixel processed photo: 16-bit TIFF from the result buffer,
// JPEG (quality 90) and 8-bit TIFF from the output bitmap, and a scaled 16-bit
// TIFF. Each save includes the flush to the disk and the rename over the
// previous file. Memory per pixel of the processed photo.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "codec/codec.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "imageio/image_io_context.h"
#include "imageio/save_image.h"
#include "working_set.h"

namespace {

using namespace qv;

// The night street photo (4217 x 2817, about 12 MP) as the final output
// leaves it: the output bitmap, and the result buffer holding the same
// picture widened to 16 bits (red, green, blue).
std::unique_ptr<PipelineState> processedPhoto()
{
    codec::DecodedImage photo;
    if (!photo.load(QV_TESTDATA_DIR "/photo_night_street_shop.jpg").ok())
        return nullptr;
    auto state = std::make_unique<PipelineState>();
    state->width = photo.width();
    state->height = photo.height();
    state->output = Bitmap::create(photo.width(), photo.height(), PixelFormat::Bgr24);
    if (!state->output || !photo.drawInto(*state->output) || !state->pairs.allocate(state->pixelCount() * 8))
        return nullptr;
    uint16_t* rgb = resultBuffer(*state).data();
    for (int y = 0; y < state->height; ++y) {
        const uint8_t* bgr = state->output->row(y);
        for (int x = 0; x < state->width; ++x, rgb += 3, bgr += 3) {
            rgb[0] = static_cast<uint16_t>(bgr[2] << 8 | bgr[0]);
            rgb[1] = static_cast<uint16_t>(bgr[1] << 8 | bgr[2]);
            rgb[2] = static_cast<uint16_t>(bgr[0] << 8 | bgr[1]);
        }
    }
    return state;
}

class Folder {
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvelin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void saveBenchmark(benchmark::State& bench, SaveOptions options, const char* name)
{
    static std::unique_ptr<PipelineState> state = processedPhoto();
    if (!state) {
        bench.SkipWithError("test photo not available");
        return;
    }
    Folder folder;
    options.path = folder.file(name);
    ImageIoContext ctx;
    ctx.workerCount = 2;
    qv::bench::timeAndMeasure(bench, state->pixelCount(), [&] {
        if (saveImage(ctx, *state, options))
            return true;
        bench.SkipWithError(("save failed: " + ctx.errorText).c_str());
        return false;
    });
    if (bench.error_occurred())
        return;
    bench.counters["MPix/s"] =
        benchmark::Counter(static_cast<double>(state->pixelCount()) * bench.iterations() / 1e6,
                           benchmark::Counter::kIsRate);
    bench.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(options.path)) / 1e6;
}

SaveOptions optionsOf(SaveFileType type, int scaledWidth = 0, int scaledHeight = 0)
{
    SaveOptions options;
    options.type = type;
    options.jpegQuality = 90;
    options.resize = scaledWidth > 0;
    options.width = scaledWidth;
    options.height = scaledHeight;
    return options;
}

void BM_SaveTiff16(benchmark::State& bench) { saveBenchmark(bench, optionsOf(SaveFileType::Tiff16), "wynik.tif"); }
void BM_SaveJpeg90(benchmark::State& bench) { saveBenchmark(bench, optionsOf(SaveFileType::Jpeg), "wynik.jpg"); }
void BM_SaveTiff8(benchmark::State& bench) { saveBenchmark(bench, optionsOf(SaveFileType::Tiff8), "wynik.tif"); }
void BM_SaveTiff16ScaledToHalf(benchmark::State& bench)
{
    saveBenchmark(bench, optionsOf(SaveFileType::Tiff16, 2108, 1408), "maly.tif");
}

BENCHMARK(BM_SaveTiff16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveJpeg90)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveTiff8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveTiff16ScaledToHalf)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
