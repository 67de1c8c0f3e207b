// The softening and sharpening stages on the merged luma of a real photo.

#include <benchmark/benchmark.h>

#include "engine/sharpening.h"
#include "engine/softening.h"
#include "photo_image.h"

namespace qv::bench {
namespace {

PhotoImage& photo()
{
    static PhotoImage image(1280, 853);
    static const bool ran = image.runFromScratch();
    (void)ran;
    return image;
}

void Softening(benchmark::State& bm)
{
    PhotoImage& image = photo();
    image.ctx.current.Softness = 60;
    const bool prepare = bm.range(0) != 0;
    for (auto _ : bm)
        if (!runSofteningStage(image.ctx, image.state, image.state.mergedLuma(), image.state.softened.as<uint16_t>(),
                               prepare))
            bm.SkipWithError("the stage failed");
}
BENCHMARK(Softening)->Arg(1)->Arg(0)->ArgName("prepare")->Unit(benchmark::kMillisecond)->UseRealTime();

void Sharpening(benchmark::State& bm)
{
    PhotoImage& image = photo();
    image.ctx.current.Sharpness = 100;
    image.ctx.current.SharpnessRadius = static_cast<uint16_t>(bm.range(0));
    for (auto _ : bm)
        if (!runSharpeningStage(image.ctx, image.state, image.state.mergedLuma(), image.state.sharpened.as<uint16_t>()))
            bm.SkipWithError("the stage failed");
}
BENCHMARK(Sharpening)->Arg(7)->Arg(40)->ArgName("radius")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qv::bench
