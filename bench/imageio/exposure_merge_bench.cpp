// Merging three 24-megapixel exposures (6000 x 4000), made from a real photo
// scaled up and exposed at three gains: from memory per worker count, and
// the whole load including the decoding of three JPEG files.
#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/pipeline/pipeline_state.h"
#include "imageio/exposure_blend.h"
#include "imageio/exposure_merge.h"
#include "imageio/image_io_context.h"
#include "imageio/merge_files.h"
#include "working_set.h"

namespace qv {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr std::size_t kPixels = std::size_t(kWidth) * kHeight;
constexpr double kGains[] = {0.35, 1.0, 2.8};

QImage scaledPhoto()
{
    static const QImage photo = QImage(QV_TESTDATA_DIR "/photo_landscape_moraine_lake.jpg")
                                    .scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                    .convertToFormat(QImage::Format_BGR888);
    return photo;
}

Exposure blankExposure(int bitDepth)
{
    Exposure e;
    e.image8 = Bitmap::create(kWidth, kHeight, PixelFormat::Bgr24);
    e.image16 = Bitmap::create(kWidth, kHeight, PixelFormat::Bgr48);
    e.bitDepth = bitDepth;
    return e;
}

// The photo's 8-bit values widened to 16 bits and multiplied by `gain`, clipped.
Exposure exposedAt(const QImage& photo, double gain)
{
    Exposure e = blankExposure(48);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* in = photo.constScanLine(y);
        uint16_t* out = e.image16->row16(y);
        for (int i = 0; i < 3 * kWidth; ++i)
            out[i] = static_cast<uint16_t>(std::min(65535.0, (in[i] << 8) * gain));
    }
    copyHighBytes(*e.image16, *e.image8);
    return e;
}

Exposure copyOf(const Exposure& e)
{
    Exposure copy = blankExposure(e.bitDepth);
    std::memcpy(copy.image8->bits(), e.image8->bits(), e.image8->byteSize());
    std::memcpy(copy.image16->bits(), e.image16->bits(), e.image16->byteSize());
    return copy;
}

bool mergeOnce(std::vector<Exposure> exposures, int workers)
{
    ImageIoContext ctx;
    ctx.workerCount = workers;
    const std::atomic<bool> abort{false};
    Exposure merged;
    return mergeDecodedExposures(std::move(exposures), ctx, abort, merged);
}

// Memory per pixel of the merged image, the decoded exposures included.
void BM_MergeThreeExposures(benchmark::State& state)
{
    const QImage photo = scaledPhoto();
    std::vector<Exposure> inputs;
    for (double gain : kGains)
        inputs.push_back(exposedAt(photo, gain));
    const int workers = static_cast<int>(state.range(0));
    auto copies = [&] {
        std::vector<Exposure> decoded;
        for (const Exposure& e : inputs)
            decoded.push_back(copyOf(e));
        return decoded;
    };
    bench::timeAndMeasureEach(state, kPixels, copies,
                              [&](std::vector<Exposure>& decoded) { return mergeOnce(std::move(decoded), workers); });
}
BENCHMARK(BM_MergeThreeExposures)->Arg(1)->Arg(2)->Arg(ImageIoContext::defaultWorkerCount())
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The whole load of a merge: the three exposures saved as JPEG files,
// decoded by the program's decoders and merged.
void BM_DecodeAndMergeThreeJpegs(benchmark::State& state)
{
    const QImage photo = scaledPhoto();
    std::vector<std::string> paths;
    for (double gain : kGains) {
        const Exposure e = exposedAt(photo, gain);
        const QImage view(e.image8->bits(), kWidth, kHeight, e.image8->stride(), QImage::Format_BGR888);
        paths.push_back((std::filesystem::temp_directory_path() /
                         ("exposure_merge_bench_" + std::to_string(paths.size()) + ".jpg"))
                            .string());
        view.save(QString::fromStdString(paths.back()), "JPEG", 92);
    }
    bench::timeAndMeasure(state, kPixels, [&] {
        ImageIoContext ctx;
        PipelineState pipeline;
        return mergeExposures(ctx, pipeline, paths);
    });
    for (const std::string& path : paths)
        std::filesystem::remove(path);
}
BENCHMARK(BM_DecodeAndMergeThreeJpegs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();


// The blending passes alone over 3 rows of 6000 pixels kept in cache, per
// instruction set (simd: 0 plain, 1 AVX2) and pass (1 levels, 2 colour, 3 both).
void BM_BlendRow(benchmark::State& state)
{
    const bool avx2 = state.range(0) != 0;
    if (avx2 && !avx2Enabled())
        state.SkipWithError("no AVX2 on this processor");
    std::vector<std::vector<uint16_t>> rows(3, std::vector<uint16_t>(3 * kWidth));
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3 * kWidth; ++i)
            rows[k][i] = static_cast<uint16_t>(std::min(65535.0, ((i * 37) % 60000) * kGains[k]));
    std::vector<LevelMap> maps(3);
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < kLevelCount; ++j)
            maps[k][j] = k == 0 ? j : std::abs(j - j * 0.6);
    const uint16_t* rowPointers[] = {rows[0].data(), rows[1].data(), rows[2].data()};
    std::vector<uint32_t> acc(3 * kWidth);
    setSimdEnabled(avx2);
    const ExposureBlender blender{kWidth, 3, 32767.0 / 3, maps.data()};
    setSimdEnabled(true);
    for (auto _ : state) {
        if (state.range(1) & 1)
            blender.blendLevels(rowPointers, acc.data());
        if (state.range(1) & 2)
            benchmark::DoNotOptimize(blender.blendColour(rowPointers, acc.data()));
    }
    state.SetItemsProcessed(state.iterations() * kWidth);
}
BENCHMARK(BM_BlendRow)->ArgsProduct({{0, 1}, {1, 2, 3}})->ArgNames({"simd", "pass"});

}  // namespace
}  // namespace qv
