#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <memory>

#include "engine/pipeline/plane_memory.h"
#include "engine/stages/color_noise_reduction/ray_list.h"
#include "engine/stages/final_output/histograms.h"
#include "imaging/bitmap.h"

namespace qv {

// The stages whose results the pipeline caches, in run order.
enum class Stage { Detail, Smoothing, ToneCurve, Region, Merging, ColorNR, Softening, Light, Sharpening };
inline constexpr int kStageCount = 9;

// Cache flags of the pipeline, one bit per stage: whether its result is
// valid, and whether its input changed since it last ran successfully (the
// stages that keep a preparation of their own rebuild it then). A new image
// has no valid result and a changed input everywhere.
struct StageFlags {
    std::bitset<kStageCount> valid;
    std::bitset<kStageCount> inputChanged{(1u << kStageCount) - 1};
};

// Everything the pipeline holds for one image: the bitmaps, the planes of
// the working size W x H (row-major, contiguous, N = W*H), caches and flags.
// Several buffers are shared between stages that never need them at once;
// scratch_plan.h declares which stage uses which part when.
struct PipelineState {
    int width = 0;
    int height = 0;

    std::unique_ptr<Bitmap> source;   // 24-bit, the working image's picture
    std::unique_ptr<Bitmap> working;  // 48-bit, the same picture
    std::unique_ptr<Bitmap> output;   // 24-bit, written by the final output
    std::unique_ptr<Bitmap> panel;    // 272 x 136, for the display panel

    PlaneMemory luminance;      // uint16 Y of the source
    PlaneMemory sourceChroma;   // int16 (U, V) pairs of the source
    PlaneMemory detail;         // uint16
    PlaneMemory region;         // uint16
    PlaneMemory smoothed;       // uint16
    PlaneMemory softened;       // uint16
    PlaneMemory light;          // uint16
    PlaneMemory sharpened;      // uint16
    PlaneMemory lightMap;       // uint16, the light stage's cached map (scratch_plan.h)
    PlaneMemory curve;          // 4 bytes per pixel, shared (scratch_plan.h)
    PlaneMemory merged;         // 6 bytes per pixel: merged chroma and luma (scratch_plan.h)
    PlaneMemory denoisedChroma; // int16 (U, V) pairs
    PlaneMemory pairs;          // 8 bytes per pixel, the pair accumulator, shared (scratch_plan.h)

    PlaneMemory firstWeights;   // float, 2 * value scale entries
    PlaneMemory secondWeights;  // float, value scale entries

    Histograms histograms;
    std::array<RayEntry, kRayListCapacity> rayList{};
    int rayCount = 0;

    StageFlags flags;
    bool result = false;
    bool loaded = false;  // set by the load thread when the working image is ready
    std::atomic<bool> abort{false};

    std::size_t pixelCount() const { return static_cast<std::size_t>(width) * height; }

    // Typed views of the source planes and tables; the shared buffers
    // (curve, merged, pairs, lightMap) are reached through scratch_plan.h.
    uint16_t* luminancePlane() { return luminance.as<uint16_t>(); }
    int16_t* sourceChromaPlane() { return sourceChroma.as<int16_t>(); }
    float* firstWeightTable() { return firstWeights.as<float>(); }
    float* secondWeightTable() { return secondWeights.as<float>(); }

    // Allocates every plane for W x H (not the bitmaps); false on failure,
    // with nothing held.
    bool allocatePlanes(int w, int h);
    // Releases everything and clears the flags: the state of no image.
    void reset();
};

}  // namespace qv
