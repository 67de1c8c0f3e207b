#pragma once

// Shared by the benchmark programs: a pipeline state prepared, as the loader
// prepares it, from a real photo scaled to an exact working size.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/pipeline_driver.h"
#include "engine/processing_context.h"
#include "imageio/decode_file.h"
#include "imageio/working_image.h"

namespace qv::bench {

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

struct PhotoImage {
    ProcessingContext ctx;
    PipelineState state;

    PhotoImage(int width, int height, const std::string& file = "photo_night_street_shop.jpg")
    {
        SourcePair pair;
        std::atomic<bool> abort{false};
        if (!decodeFile(std::string(QV_TESTDATA_DIR) + "/" + file, ctx, abort, pair)) {
            std::fprintf(stderr, "cannot decode %s: %s\n", file.c_str(), ctx.errorText.c_str());
            std::abort();
        }
        state.working = scaled48(*pair.image16, width, height);
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
        state.flags = {};
        ctx.dirtyMask = 0x7FF;
        return runPipeline(ctx, state, pipelineStages());
    }

    // An incremental run after the settings changed to `settings`.
    bool apply(const ToneSettings& settings)
    {
        ctx.dirtyMask |= compareToneSettings(settings, ctx.current) | DirtyBits::Output;
        copyToneValues(settings, ctx.current);
        return runPipeline(ctx, state, pipelineStages());
    }

    double bytesPerPixel() const { return double(workingImageBytes(state)) / double(state.pixelCount()); }
};

}  // namespace qv::bench
