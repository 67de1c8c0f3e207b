#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "engine/kernels/column_copy.h"
#include "engine/pipeline/stage_runner.h"
#include "engine/stages/detail/detail_spreading.h"

namespace qv {

struct ProcessingContext;
struct PipelineState;
struct ToneSettings;

// Constants of one detail extraction run, derived from the settings.
struct DetailParams {
    int tolerance = 0;    // T: excursions of the luminance up to T count as detail
    int radius = 0;       // R: reach of the spreading average, 3 % of the longer side
    int multiScale = -1;  // mask of the refinement rounds

    // Nothing when the image size, the value scale or `Details` is out of range.
    static std::optional<DetailParams> from(const ToneSettings& settings, int width, int height, int valueScale,
                                            int multiScale);
};

// The planes of one run: the luminance in, the detail plane out, and the
// three scratch planes, each W x H.
struct DetailPlanes {
    const uint16_t* luminance;
    uint16_t* detail;
    uint32_t* envelope;          // E while the tracking sums its directions
    uint16_t* values;            // E from then on: the value spread from each pixel
    // The luminance of each worker's columns, copied once: column x at x * H
    // where the columns are spread as lines; where strips are walked, the
    // strip at x0, n columns wide, at x0 * H with rows of n pixels.
    uint16_t* columnLuminance;

    bool complete() const { return luminance && detail && envelope && values && columnLuminance; }
};

// The spreading kernels of a run: along lines, and, where there is one, the
// walk of whole strips of columns for the reaches it takes on.
struct DetailSpreading {
    LineSpreadFn lines;
    StripSpreadFn strips;
    DetailSpreading(LineSpreadFn lines, StripSpreadFn strips = nullptr) : lines(lines), strips(strips) {}
};

// The widest the processor has; picked once per run.
DetailSpreading fastDetailSpreading();

struct DetailWorkItem : WorkItem {
    DetailPlanes planes{};
    DetailParams params;
    LineSpreadFn spread = nullptr;
    StripSpreadFn strips = nullptr;
    ColumnCopy columns{};  // strips of columns to and from the vertical spreading
};

// The worker of one band: tracking, spreading, refinement and mapping, with a
// pass barrier between the steps that read what other bands wrote.
bool detailWorker(DetailWorkItem& item);

// The stage as the pipeline calls it: luminance `in`, detail plane `out`,
// scratch in the curve plane and the pair accumulator of the state.
bool runDetailExtractionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

// The same on explicit planes, with the spreading chosen by the caller
// (tests and benchmarks compare the literal spreading with the fast one).
// Fails, writing no plane, when one of them is missing.
bool extractDetails(ProcessingContext& ctx, const std::atomic<bool>& abort, const DetailPlanes& planes, int width,
                    int height, DetailSpreading spreading);

}  // namespace qv
