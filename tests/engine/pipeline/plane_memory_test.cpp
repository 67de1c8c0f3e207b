#include "engine/pipeline/plane_memory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv {
namespace {

// Planes small and large (some mapped in large pages) come zeroed, and one
// memory object moves between both kinds: each is released the way it was
// taken, whatever the previous allocation was.
TEST(PlaneMemory, EverySizeIsZeroedAndReleasedTheWayItWasTaken)
{
    PlaneMemory memory;
    for (std::size_t bytes : {std::size_t{100}, std::size_t{24} << 20, std::size_t{3}, std::size_t{5} << 20,
                              std::size_t{4} << 20, std::size_t{0}}) {
        ASSERT_TRUE(memory.allocate(bytes, bytes % 2 ? PlaneMemory::Pages::Small : PlaneMemory::Pages::Large))
            << bytes;
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
