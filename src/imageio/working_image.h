#pragma once

#include <cstddef>

namespace qv {

struct ImageIoContext;
struct PipelineState;

struct ImageSize {
    int width = 0;
    int height = 0;
    bool operator==(const ImageSize&) const = default;
};

// The size of a width x height image shrunk into a maxWidth x maxHeight box,
// keeping its aspect in double precision and truncating; never enlarged and
// never below one pixel.
ImageSize fitToBox(int width, int height, int maxWidth, int maxHeight);

// The side limit of a preview mode (1: 800, 2: 1280, 3: 2048 pixels), or 0
// for full size (mode 0 and any unknown mode).
int previewLimit(int mode);

// Turns the decoded source pair in the state into the working image: shrinks
// it to the context's preview limit, gives the output bitmap its first
// content, allocates the pipeline's buffers, fills the weight tables and
// derives the luminance and chroma planes. On failure or abort the state is
// reset except for the source pair, which the caller releases; an out-of-memory
// failure leaves the system's text for it in the context's error text.
bool prepareWorkingImage(ImageIoContext& ctx, PipelineState& state);

// Bytes held by a prepared state (bitmaps, planes and tables).
std::size_t workingImageBytes(const PipelineState& state);

}  // namespace qv
