#include "engine/stages/merging/merge_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/kernels/simd.h"
#include "support/simd_switch.h"

namespace qv {
namespace {

// One row of every plane, random with the extremes mixed in: black and
// white, the chroma limits, equal channels.
struct RowData {
    std::vector<uint16_t> source, area, processed, bgr, luma;
    std::vector<int16_t> sourceChroma, chroma;

    RowData(int width, unsigned seed)
        : source(width), area(width), processed(width), bgr(3 * width), luma(width), sourceChroma(2 * width),
          chroma(2 * width)
    {
        std::mt19937 rng(seed);
        const uint16_t levels[] = {0, 1, 255, 32767, 32768, 65534, 65535};
        auto value = [&] { return rng() % 4 == 0 ? levels[rng() % 7] : static_cast<uint16_t>(rng()); };
        for (int x = 0; x < width; ++x) {
            source[x] = value();
            area[x] = value();
            processed[x] = value();
            const uint16_t grey = value();
            for (int c = 0; c < 3; ++c)
                bgr[3 * x + c] = rng() % 5 == 0 ? grey : value();
            for (int c = 0; c < 2; ++c) {
                sourceChroma[2 * x + c] = static_cast<int16_t>(value() - 32768);
                chroma[2 * x + c] = static_cast<int16_t>(value() - 32768);
            }
            luma[x] = value();
        }
    }

    MergeRow row() { return {source.data(),  area.data(),   processed.data(),        sourceChroma.data(),
                             bgr.data(),     luma.data(),   chroma.data(),           static_cast<int>(luma.size()),
                             65536}; }
};

// Every row loop of the vector sets (AVX2, AVX-512) gives the plain loop's
// values, at widths with and without a short group at the end.
TEST(MergeRows, VectorLoopsMatchThePlainOnes)
{
    const MergeRowLoops plain = test::pickedWith(SimdLevel::Plain, MergeRowLoops::pick);
    if (!avx2Enabled())
        GTEST_SKIP() << "no AVX2";
    // Weights 0..100 over the area values, padded as the blend needs.
    std::vector<uint8_t> weights(65536 + 3, 0);
    for (int a = 0; a < 65536; ++a)
        weights[a] = static_cast<uint8_t>(a * 7 % 101);

    for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512}) {
        for (int width : {1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 200}) {
            const MergeRowLoops vector = test::pickedWith(level, MergeRowLoops::pick);
            for (unsigned seed = 0; seed < 20; ++seed) {
                auto expectSame = [&](auto run, const char* loop) {
                    RowData a(width, seed), b(width, seed);
                    run(plain, a.row());
                    run(vector, b.row());
                    ASSERT_EQ(a.chroma, b.chroma) << loop << " width " << width << " seed " << seed << " simd level "
                                                  << static_cast<int>(level);
                    ASSERT_EQ(a.luma, b.luma) << loop << " width " << width << " seed " << seed;
                };
                expectSame([](const MergeRowLoops& l, const MergeRow& r) { l.scaleChroma(r, true); }, "natural");
                expectSame([](const MergeRowLoops& l, const MergeRow& r) { l.scaleChroma(r, false); }, "vivid");
                expectSame([](const MergeRowLoops& l, const MergeRow& r) { l.relight(r); }, "artistic");
                expectSame([&](const MergeRowLoops& l, const MergeRow& r) { l.blend(r, weights.data()); }, "blend");
            }
        }
    }
}

}  // namespace
}  // namespace qv
