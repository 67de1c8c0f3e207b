#include "engine/kernels/column_copy.h"

#include "engine/kernels/simd.h"

namespace qv {

ColumnCopy pickColumnCopy()
{
    return {pickKernel<ColumnCopyFn>(gatherColumns<uint32_t>, QV_AVX2_TWIN(gatherColumnsAvx2)),
            pickKernel<ColumnCopyFn>(scatterColumns<uint32_t>, QV_AVX2_TWIN(scatterColumnsAvx2))};
}

}  // namespace qv
