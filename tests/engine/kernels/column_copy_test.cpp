#include "engine/kernels/column_copy.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "support/simd_switch.h"

namespace qv {
namespace {

// Strips of whole and partial blocks of 8 rows by 16 columns, at the
// plane's left and right edges and with rows left over, as wide as the
// detail extraction's and narrower: a gather lays each column out in order
// and a scatter puts it back, with the vector loops on and off.
TEST(ColumnCopy, StripsGoToColumnsAndBackUnchanged)
{
    for (const auto& [w, h] : {std::pair{40, 24}, {37, 29}, {16, 3}, {9, 1}})
        for (const auto& [x0, n] :
             {std::pair{0, 16}, {8, 16}, {0, 5}, {w - 9, 9}, {w - 3, 3}, {0, 32}, {w - 29, 29}}) {
            if (x0 < 0 || x0 + n > w)
                continue;
            std::vector<uint16_t> plane(std::size_t(w) * h);
            std::iota(plane.begin(), plane.end(), uint16_t{1});
            for (bool vectors : {true, false}) {
                const ColumnCopy copy = test::pickedWith(vectors, pickColumnCopy);
                std::vector<uint16_t> columns(std::size_t(n) * h);
                copy.gather(plane.data(), w, h, x0, n, columns.data());
                for (int j = 0; j < n; ++j)
                    for (int y = 0; y < h; ++y)
                        ASSERT_EQ(columns[std::size_t(j) * h + y], plane[std::size_t(y) * w + x0 + j])
                            << w << "x" << h << " column " << x0 + j << " row " << y << " vectors " << vectors;
                std::vector<uint16_t> back(plane.size(), 0);
                copy.scatter(columns.data(), w, h, x0, n, back.data());
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const bool inStrip = x >= x0 && x < x0 + n;
                        ASSERT_EQ(back[std::size_t(y) * w + x], inStrip ? plane[std::size_t(y) * w + x] : uint16_t{0})
                            << w << "x" << h << " at " << x << "," << y << " vectors " << vectors;
                    }
            }
        }
}

}  // namespace
}  // namespace qv
