// Merging three 24-megapixel exposures (6000 x 4000), made from a real photo
// scaled up and exposed at three gains; once from memory, once including the
// decoding of the three files from JPEG.
#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/processing_context.h"
#include "imageio/exposure_blend.h"
#include "imageio/exposure_merge.h"

namespace qv {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr double kGains[] = {0.35, 1.0, 2.8};

QImage scaledPhoto()
{
    static const QImage photo = QImage(QV_TESTDATA_DIR "/photo_landscape_moraine_lake.jpg")
                                    .scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                    .convertToFormat(QImage::Format_BGR888);
    return photo;
}

// The photo's 8-bit values widened to 16 bits and multiplied by `gain`, clipped.
Exposure exposedAt(const QImage& photo, double gain)
{
    Exposure e{Bitmap::create(kWidth, kHeight, PixelFormat::Bgr24), Bitmap::create(kWidth, kHeight, PixelFormat::Bgr48),
               48};
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
    Exposure copy{Bitmap::create(kWidth, kHeight, PixelFormat::Bgr24), Bitmap::create(kWidth, kHeight, PixelFormat::Bgr48),
                  e.bitDepth};
    std::memcpy(copy.image8->bits(), e.image8->bits(), e.image8->byteSize());
    std::memcpy(copy.image16->bits(), e.image16->bits(), e.image16->byteSize());
    return copy;
}

bool mergeOnce(std::vector<Exposure> exposures, int workers)
{
    std::atomic<int> percent{0};
    std::string status, error;
    std::atomic<bool> abort{false};
    Exposure merged;
    return mergeDecodedExposures(std::move(exposures), {percent, status, error, abort}, workers, merged);
}

void BM_MergeThreeExposures(benchmark::State& state)
{
    const QImage photo = scaledPhoto();
    std::vector<Exposure> inputs;
    for (double gain : kGains)
        inputs.push_back(exposedAt(photo, gain));
    const int workers = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Exposure> copies;
        for (const Exposure& e : inputs)
            copies.push_back(copyOf(e));
        state.ResumeTiming();
        if (!mergeOnce(std::move(copies), workers))
            state.SkipWithError("merge failed");
    }
}
BENCHMARK(BM_MergeThreeExposures)->Arg(1)->Arg(2)->Arg(ProcessingContext::defaultWorkerCount())
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The 8-bit file path: each exposure saved as a JPEG, decoded and widened
// to 16 bits, then merged.
Exposure decodeJpeg(const QString& path)
{
    const QImage image = QImage(path).convertToFormat(QImage::Format_BGR888);
    Exposure e{Bitmap::create(image.width(), image.height(), PixelFormat::Bgr24),
               Bitmap::create(image.width(), image.height(), PixelFormat::Bgr48), 24};
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(e.image8->row(y), image.constScanLine(y), static_cast<std::size_t>(image.width()) * 3);
    widenTo16(*e.image8, *e.image16);
    return e;
}

void BM_DecodeAndMergeThreeJpegs(benchmark::State& state)
{
    const QImage photo = scaledPhoto();
    std::vector<QString> paths;
    for (double gain : kGains) {
        const Exposure e = exposedAt(photo, gain);
        const QImage view(e.image8->bits(), kWidth, kHeight, e.image8->stride(), QImage::Format_BGR888);
        paths.push_back(QStringLiteral("/tmp/exposure_merge_bench_%1.jpg").arg(gain));
        view.save(paths.back(), "JPEG", 92);
    }
    for (auto _ : state) {
        std::vector<Exposure> exposures;
        for (const QString& path : paths)
            exposures.push_back(decodeJpeg(path));
        if (!mergeOnce(std::move(exposures), ProcessingContext::defaultWorkerCount()))
            state.SkipWithError("merge failed");
    }
    for (const QString& path : paths)
        std::remove(path.toLocal8Bit().constData());
}
BENCHMARK(BM_DecodeAndMergeThreeJpegs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();


// The blending passes alone over 3 rows of 6000 pixels kept in cache, per
// instruction set (simd: 0 plain, 1 AVX2) and pass (1 levels, 2 colour, 3 both).
void BM_BlendRow(benchmark::State& state)
{
    const SimdPath path = state.range(0) ? SimdPath::Avx2 : SimdPath::Plain;
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
    const ExposureBlender blender{kWidth, 3, 32767.0 / 3, maps.data(), path};
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
