#include "engine/pipeline_driver.h"

namespace qv {

const PipelineStages& pipelineStages()
{
    static const PipelineStages stages = [] {
        PipelineStages s;
        return s;
    }();
    return stages;
}

}  // namespace qv
