#include "engine/pipeline/plane_memory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv {
namespace {

// Planes small and large come zeroed, and one memory object moves from size
// to size, each allocation releasing the one before.
TEST(PlaneMemory, EverySizeIsZeroedAndReleasedWhenReplaced)
{
    PlaneMemory memory;
    for (std::size_t bytes : {std::size_t{100}, std::size_t{24} << 20, std::size_t{3}, std::size_t{5} << 20,
                              std::size_t{4} << 20, std::size_t{0}}) {
        ASSERT_TRUE(memory.allocate(bytes)) << bytes;
        EXPECT_EQ(memory.bytes(), bytes);
        if (bytes == 0) {
            EXPECT_TRUE(memory.empty());
            continue;
        }
        uint8_t* data = memory.as<uint8_t>();
        EXPECT_TRUE(std::all_of(data, data + bytes, [](uint8_t b) { return b == 0; })) << bytes;
        std::fill(data, data + bytes, uint8_t{0xA5});
    }
}

}  // namespace
}  // namespace qv
