#include "engine/pipeline/pipeline_driver.h"
#include "engine/stages/color_noise_reduction/color_noise_reduction.h"
#include "engine/stages/detail/detail_extraction.h"
#include "engine/stages/final_output/final_output.h"
#include "engine/stages/light/light.h"
#include "engine/stages/merging/merging.h"
#include "engine/stages/region/region_detection.h"
#include "engine/stages/sharpening/sharpening.h"
#include "engine/stages/smoothing/smoothing.h"
#include "engine/stages/softening/softening.h"
#include "engine/stages/tone_curve/tone_curve.h"

namespace qv {

const PipelineStages& pipelineStages()
{
    static const PipelineStages stages{
        .detail = runDetailExtractionStage,
        .smoothing = runSmoothingStage,
        .toneCurve = runToneCurveStage,
        .region = runRegionStage,
        .merge = runMergingStage,
        .colorNR = runColorNoiseReductionStage,
        .soften = runSofteningStage,
        .light = runLightStage,
        .sharpen = runSharpeningStage,
        .finalOutput = renderOutput,
    };
    return stages;
}

}  // namespace qv
