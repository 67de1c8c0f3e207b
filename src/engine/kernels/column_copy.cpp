#include "engine/kernels/column_copy.h"

#include "engine/kernels/simd.h"

namespace qv {

namespace {

void gatherColumnsPlain(const uint16_t* plane, int w, int h, int x0, int n, uint16_t* columns)
{
    gatherColumns(plane, w, h, x0, n, columns);
}

void scatterColumnsPlain(const uint16_t* columns, int w, int h, int x0, int n, uint16_t* plane)
{
    scatterColumns(columns, w, h, x0, n, plane);
}

}  // namespace

ColumnCopy pickColumnCopy()
{
    return {pickKernel<ColumnCopyFn>(gatherColumnsPlain, QV_AVX2_TWIN(gatherColumnsAvx2)),
            pickKernel<ColumnCopyFn>(scatterColumnsPlain, QV_AVX2_TWIN(scatterColumnsAvx2))};
}

}  // namespace qv
