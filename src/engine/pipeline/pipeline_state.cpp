#include "engine/pipeline/pipeline_state.h"

namespace qv {

bool PipelineState::allocatePlanes(int w, int h)
{
    const std::size_t n = static_cast<std::size_t>(w) * h;
    width = w;
    height = h;
    PlaneMemory* plane16[] = {&luminance, &detail, &region, &smoothed, &softened, &light, &sharpened, &lightMap};
    bool ok = true;
    for (PlaneMemory* p : plane16)
        ok = ok && p->allocate(2 * n);
    ok = ok && sourceChroma.allocate(4 * n) && denoisedChroma.allocate(4 * n) && curve.allocate(4 * n) &&
         merged.allocate(6 * n) && pairs.allocate(8 * n) &&
         firstWeights.allocate(2 * 65536 * sizeof(float)) && secondWeights.allocate(65536 * sizeof(float));
    if (!ok)
        reset();
    return ok;
}

void PipelineState::reset()
{
    width = height = 0;
    source.reset();
    working.reset();
    output.reset();
    panel.reset();
    PlaneMemory* planes[] = {&luminance, &sourceChroma, &detail, &region, &smoothed, &softened, &light,
                             &sharpened, &lightMap, &curve, &merged, &denoisedChroma, &pairs,
                             &firstWeights, &secondWeights};
    for (PlaneMemory* p : planes)
        p->release();
    histograms = {};
    rayCount = 0;
    flags = {};
    result = false;
    loaded = false;
}

}  // namespace qv
