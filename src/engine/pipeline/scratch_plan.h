#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv {

struct PipelineState;

// The plan of the pipeline's shared memory. Three buffers of a PipelineState
// hold different things at different times; every stage reaches them only
// through the views declared here, each typed and sized for the state's
// W x H (N = W * H). The table below has a section per buffer: the curve
// plane (4 bytes per pixel), the merged planes (6), the pair accumulator (8,
// in quarters Q0 .. Q3 of N uint16 each), and last the light stage's map, a
// plane of its own that is listed because the driver's cache relies on it
// in the same way. Softening's column sums take one row of W per worker
// (R rows) from the first 4-byte boundary in Q1. A view is empty
// when its buffer is missing or too small for W x H, and a stage that finds
// one empty refuses to run. "kept" names the stage's cache flag that relies
// on the view surviving: `valid` (its result is reused) or `input` (its
// preparation is reused while `inputChanged` is clear), see StageFlags.
//
// view                     size: place                written by             read by                 kept
// -----------------------  -------------------------  ---------------------  ----------------------  -----------
// detailEnvelope           N uint32: all              detail extraction      detail extraction       no
// toneCurveLuma            N uint16: 1st half         tone curve             merging                 yes: valid
// toneCurveBlur            N uint16: 2nd half         tone curve, 1st run    tone curve              yes: input
// -----------------------  -------------------------  ---------------------  ----------------------  -----------
// mergedChroma             2N int16 (U, V): first     merging                colour noise, output    yes: valid
// mergedLuma               N uint16: after them       merging                colour noise .. output  yes: valid
// -----------------------  -------------------------  ---------------------  ----------------------  -----------
// detailColumnLuminance    N uint16: Q0               detail extraction      detail extraction       no
// detailSpreadValues       N uint16: Q1               detail extraction      detail extraction       no
// horizontalBlurPass       N uint16: Q0               tone curve, region     the same stage          no
//                                                     detection, sharpening
// spikeFilteredLuma        N uint16: Q0               smoothing, 2nd pass    smoothing               no
// offsetChromaPlanes       2N uint16: Q0 .. Q1        colour noise           colour noise            no
// softeningContrast        N uint16: Q0               softening, 1st run     softening               no
// softeningHorizontalPass  N uint16: Q1               softening, 1st run     softening               no
// softeningColumnSums(R)   R x W uint32: Q1 .. Q3     softening, 1st run     softening               no
// softeningMap             N uint16: Q3               softening, 1st run     softening               yes: input
// resultBuffer             3N uint16 (RGB): Q0 .. Q2  final output           16-bit TIFF saving      to next run
// -----------------------  -------------------------  ---------------------  ----------------------  -----------
// lightMap                 N uint16: all              light, preparing       light                   yes: input
//
// Why the overlaps are safe. One stage runs at a time, and a view that is
// not kept is dead when the stage that wrote it returns.
// - Curve plane: detail extraction overwrites both tone curve views. Its run
//   invalidates smoothing, and re-running smoothing invalidates the tone
//   curve and marks its input changed, so the tone curve computes its blur
//   and its result again before merging reads them (with Contrast 100
//   merging does not read the plane at all).
// - Within detail extraction: each worker gathers the luminance of its
//   columns (Q0) before its first pass and reads them only in the vertical
//   passes; the tracking sums its directions in the envelope, and its last
//   pass writes the spread values (Q1) that every later pass works on; the
//   spreading's (sum, count) pairs stay in each worker's own memory.
// - softeningMap (Q3) outlives the runs that only re-run later stages. Of
//   the views above only softeningColumnSums reach into Q3: they serve the
//   contrast pass of softening's first run, and the map is written after
//   it, past a pass barrier.
// - Within softening: the contrast map (Q0), the horizontal pass (Q1) and
//   the map (Q3) are apart; the column sums share Q1 with the horizontal
//   pass, which is written only after the contrast pass has ended.
// - resultBuffer: the final output writes it at the end of every completed
//   run, and the first stage of the next run that takes a scratch view of
//   the accumulator overwrites it. Saving reads it only while the result is
//   current (no DirtyBits::Output pending), so never in between.

std::span<uint32_t> detailEnvelope(PipelineState& state);
std::span<uint16_t> toneCurveLuma(PipelineState& state);
std::span<uint16_t> toneCurveBlur(PipelineState& state);
std::span<int16_t> mergedChroma(PipelineState& state);
std::span<uint16_t> mergedLuma(PipelineState& state);

std::span<uint16_t> detailColumnLuminance(PipelineState& state);
std::span<uint16_t> detailSpreadValues(PipelineState& state);
std::span<uint16_t> horizontalBlurPass(PipelineState& state);
std::span<uint16_t> spikeFilteredLuma(PipelineState& state);
std::span<uint16_t> offsetChromaPlanes(PipelineState& state);
std::span<uint16_t> softeningContrast(PipelineState& state);
std::span<uint16_t> softeningHorizontalPass(PipelineState& state);
std::span<uint16_t> softeningMap(PipelineState& state);
std::span<uint16_t> lightMap(PipelineState& state);
std::span<uint16_t> resultBuffer(PipelineState& state);
std::span<const uint16_t> resultBuffer(const PipelineState& state);

// One row of W running column sums for each worker of a box-window stage.
struct ColumnSumRows {
    std::span<uint32_t> sums;
    std::size_t width = 0;

    bool empty() const { return sums.empty(); }
    uint32_t* row(int worker) const { return sums.subspan(std::size_t(worker) * width, width).data(); }
};

ColumnSumRows softeningColumnSums(PipelineState& state, std::size_t rows);

}  // namespace qv
