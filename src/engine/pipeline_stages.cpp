#include "engine/color_noise_reduction.h"
#include "engine/detail_extraction.h"
#include "engine/final_output.h"
#include "engine/light.h"
#include "engine/merging.h"
#include "engine/pipeline_driver.h"
#include "engine/region_detection.h"
#include "engine/sharpening.h"
#include "engine/smoothing.h"
#include "engine/softening.h"
#include "engine/tone_curve.h"

namespace qv {

const PipelineStages& pipelineStages()
{
    static const PipelineStages stages = [] {
        PipelineStages s;
        s.detail = runDetailExtractionStage;
        s.smoothing = runSmoothingStage;
        s.toneCurve = runToneCurveStage;
        s.region = runRegionStage;
        s.merge = runMergingStage;
        s.colorNR = runColorNoiseReductionStage;
        s.soften = runSofteningStage;
        s.light = runLightStage;
        s.sharpen = runSharpeningStage;
        s.finalOutput = renderOutput;
        return s;
    }();
    return stages;
}

}  // namespace qv
