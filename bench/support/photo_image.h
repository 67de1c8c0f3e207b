#pragma once

// Shared by the benchmark programs: a pipeline state prepared, as the loader
// prepares it, from a real photo scaled to an exact working size, and the
// working sizes the stages are measured at.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "imageio/decode_file.h"
#include "imageio/image_io_context.h"
#include "imageio/working_image.h"

namespace qv::bench {

// A preview of the 1280 px mode and a 12-megapixel camera image.
inline constexpr ImageSize kPreviewSize{1280, 853};
inline constexpr ImageSize kCameraSize{4000, 3000};

// The test photos the benchmarks choose from by index: a night street
// (4217 x 2817, the default), a backlit dome and a portrait in a bar.
inline constexpr const char* kPhotos[] = {"photo_night_street_shop.jpg", "photo_backlit_dome_interior.jpg",
                                          "photo_people_bar_portrait.jpg"};

// Bilinear scaling of a 16-bit bitmap to any size (the program's own
// resampler only shrinks).
inline std::unique_ptr<Bitmap> scaled48(const Bitmap& in, int width, int height)
{
    auto out = Bitmap::create(width, height, PixelFormat::Bgr48);
    for (int y = 0; y < height; ++y) {
        const float sy = std::clamp((y + 0.5f) * in.height() / height - 0.5f, 0.0f, in.height() - 1.0f);
        const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, in.height() - 1);
        const float fy = sy - y0;
        for (int x = 0; x < width; ++x) {
            const float sx = std::clamp((x + 0.5f) * in.width() / width - 0.5f, 0.0f, in.width() - 1.0f);
            const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, in.width() - 1);
            const float fx = sx - x0;
            for (int c = 0; c < 3; ++c) {
                const float top = in.row16(y0)[3 * x0 + c] * (1 - fx) + in.row16(y0)[3 * x1 + c] * fx;
                const float bottom = in.row16(y1)[3 * x0 + c] * (1 - fx) + in.row16(y1)[3 * x1 + c] * fx;
                out->row16(y)[3 * x + c] = static_cast<uint16_t>(top * (1 - fy) + bottom * fy);
            }
        }
    }
    return out;
}

// The 16-bit picture of a test photo, decoded by the program's decoders.
inline std::unique_ptr<Bitmap> decodedPhoto48(const std::string& file)
{
    ImageIoContext ctx;
    SourcePair pair;
    std::atomic<bool> abort{false};
    if (!decodeFile(std::string(QV_TESTDATA_DIR) + "/" + file, ctx, abort, pair)) {
        std::fprintf(stderr, "cannot decode %s: %s\n", file.c_str(), ctx.errorText.c_str());
        std::abort();
    }
    return std::move(pair.image16);
}

// Every stage switched on: the defaults, with the stages that are off by
// default at a middle strength.
inline ToneSettings everyStageOn()
{
    ToneSettings s;
    s.Smoothing = 9;
    s.ColorNR = 5;
    s.Softness = 60;
    s.Sharpness = 100;
    return s;
}

struct PhotoImage {
    ImageIoContext ctx;
    PipelineState state;
    bool processed = false;  // the last run was runFromScratch with everyStageOn

    PhotoImage(int width, int height, const std::string& file = kPhotos[0])
    {
        state.working = scaled48(*decodedPhoto48(file), width, height);
        state.source = Bitmap::create(width, height, PixelFormat::Bgr24);
        copyHighBytes(*state.working, *state.source);
        ctx.pipeline = &state;
        ctx.config.previewMode = 0;
        if (!prepareWorkingImage(ctx, state))
            std::abort();
    }

    // A run of every stage, as on a newly opened image.
    bool runFromScratch()
    {
        processed = false;
        state.flags = {};
        ctx.dirtyMask = 0x7FF;
        return runPipeline(ctx, state, pipelineStages());
    }

    // An incremental run after the settings changed to `settings`.
    bool apply(const ToneSettings& settings)
    {
        processed = false;
        ctx.dirtyMask |= compareToneSettings(settings, ctx.current) | DirtyBits::Output;
        copyToneValues(settings, ctx.current);
        return runPipeline(ctx, state, pipelineStages());
    }
};

// The photo at that size, prepared once per program and kept.
inline PhotoImage& photoAt(ImageSize size, int photo = 0)
{
    static std::map<std::tuple<int, int, int>, std::unique_ptr<PhotoImage>> cache;
    auto& slot = cache[{size.width, size.height, photo}];
    if (!slot)
        slot = std::make_unique<PhotoImage>(size.width, size.height, kPhotos[photo]);
    return *slot;
}

// The same photo run through every stage (once, unless other runs came
// between), so that each plane holds what the pipeline leaves in it for the
// stages after it. A stage benchmark runs its stage on these planes, as the
// pipeline calls it with everyStageOn.
inline PhotoImage& processedPhotoAt(ImageSize size, int photo = 0)
{
    PhotoImage& image = photoAt(size, photo);
    if (!image.processed) {
        image.ctx.current = everyStageOn();
        if (!image.runFromScratch())
            std::abort();
        image.processed = true;
    }
    return image;
}

// The benchmark's first two arguments: width and height.
inline ImageSize sizeArgument(const benchmark::State& bm)
{
    return {static_cast<int>(bm.range(0)), static_cast<int>(bm.range(1))};
}

// Registers `b` at each size, combined with every combination of `rest`
// (one list of values per further argument).
inline void argsAtSizes(benchmark::internal::Benchmark* b, std::initializer_list<ImageSize> sizes,
                        const std::vector<std::vector<int64_t>>& rest = {})
{
    for (const ImageSize size : sizes) {
        std::vector<std::vector<int64_t>> lists{{size.width}, {size.height}};
        lists.insert(lists.end(), rest.begin(), rest.end());
        b->ArgsProduct(lists);
    }
}

}  // namespace qv::bench
