#include "engine/detail_extraction.h"
#include "engine/pipeline_driver.h"
#include "engine/region_detection.h"
#include "engine/sharpening.h"
#include "engine/softening.h"
#include "engine/tone_curve.h"

namespace qv {

const PipelineStages& pipelineStages()
{
    static const PipelineStages stages = [] {
        PipelineStages s;
        s.detail = runDetailExtractionStage;
        s.toneCurve = runToneCurveStage;
        s.region = runRegionStage;
        s.soften = runSofteningStage;
        s.sharpen = runSharpeningStage;
        return s;
    }();
    return stages;
}

}  // namespace qv
