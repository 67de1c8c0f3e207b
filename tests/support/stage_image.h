#pragma once

// A loaded image for tests of single stages and of whole runs, and the
// comparison of what stages write.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"

namespace qv::test {

// Fills `state` as the loader leaves it for a width x height image: every
// plane allocated, the weight tables filled, a 48-bit working and a 24-bit
// output bitmap, the working picture made of gradients, an edge and noise
// from `seed`, with its luminance and chroma derived as the loader does.
// False when the memory cannot be had.
bool prepareImage(PipelineState& state, int width, int height, uint32_t seed = 5);

// One prepared image with its context, and the planes a stage reads from and
// writes to when it is called on its own: a current luma that differs from
// the source luminance (its negative) and a current chroma (the source's), as
// earlier stages hand them on, and output planes of the caller's, filled with
// a marker so that a stage that wrote nothing can be told from one that did.
struct StageImage {
    ProcessingContext ctx;
    PipelineState state;
    std::vector<uint16_t> luma;
    std::vector<int16_t> chroma;
    std::vector<uint16_t> out;
    std::vector<int16_t> outChroma;

    StageImage(int width, int height, uint32_t seed = 5);
};

// What a stage wrote, as bytes, for comparing whole results.
using Bytes = std::vector<uint8_t>;

template <class T>
void appendBytes(Bytes& bytes, const T* values, std::size_t count)
{
    const auto* first = reinterpret_cast<const uint8_t*>(values);
    bytes.insert(bytes.end(), first, first + count * sizeof(T));
}

// Equal sizes and bytes; otherwise says where they first differ.
::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected);

}  // namespace qv::test
