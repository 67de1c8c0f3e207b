// Columns of a 6000 x 4000 plane of 16-bit values copied out to strips and
// back, as the vertical passes of the detail extraction do, by strip width.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/kernels/column_copy.h"
#include "engine/pipeline/plane_memory.h"

namespace qv::bench {
namespace {

void ColumnRoundTrip(benchmark::State& bm)
{
    const int w = 6000, h = 4000;
    const int strip = static_cast<int>(bm.range(0));
    PlaneMemory plane;
    if (!plane.allocate(std::size_t(w) * h * 2))
        std::abort();
    std::memset(plane.as<uint16_t>(), 1, std::size_t(w) * h * 2);
    std::vector<uint16_t> columns(std::size_t(strip) * h);
    const ColumnCopy copy = pickColumnCopy();
    for (auto _ : bm)
        for (int x0 = 0; x0 < w; x0 += strip) {
            const int n = std::min(strip, w - x0);
            copy.gather(plane.as<uint16_t>(), w, h, x0, n, columns.data());
            benchmark::DoNotOptimize(columns.data());
            copy.scatter(columns.data(), w, h, x0, n, plane.as<uint16_t>());
        }
    bm.SetBytesProcessed(bm.iterations() * std::int64_t(w) * h * 4);
}
BENCHMARK(ColumnRoundTrip)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv::bench
