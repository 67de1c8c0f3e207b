// The benchmarks' memory figures: what the working-set meter counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../../bench/support/working_set_meter.h"

namespace qv::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kBlock = 64 * kMiB;
// Code, stacks and the test framework's pages that a stretch may touch too.
constexpr std::size_t kSlack = 16 * kMiB;

// A block with every page resident.
std::vector<uint8_t> residentBlock() { return std::vector<uint8_t>(kBlock, 1); }

uint64_t readEveryPage(const std::vector<uint8_t>& block)
{
    uint64_t sum = 0;
    for (std::size_t i = 0; i < block.size(); i += 4096)
        sum += block[i];
    return sum;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

class WorkingSetMeterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitized)
            GTEST_SKIP() << "a sanitizer's shadow memory and quarantine count too";
        if (WorkingSetMeter().bytes() == 0)
            GTEST_SKIP() << "the kernel does not tell this process its page statistics";
    }
};

TEST_F(WorkingSetMeterTest, CountsResidentMemoryOnlyWhereTouchedSinceTheStart)
{
    std::vector<uint8_t> read = residentBlock();
    std::vector<uint8_t> written = residentBlock();
    const std::vector<uint8_t> untouched = residentBlock();

    const WorkingSetMeter meter;
    EXPECT_GT(readEveryPage(read), 0u);
    for (std::size_t i = 0; i < written.size(); i += 4096)
        written[i] = 2;
    const std::size_t bytes = meter.bytes();

    EXPECT_GE(bytes, 2 * kBlock);
    EXPECT_LT(bytes, 2 * kBlock + kSlack);
    EXPECT_EQ(untouched.front(), 1);
}

TEST_F(WorkingSetMeterTest, CountsMemoryAllocatedAndGivenBackBeforeTheEnd)
{
    const WorkingSetMeter meter;
    {
        std::vector<uint8_t> scratch = residentBlock();
        EXPECT_GT(readEveryPage(scratch), 0u);
    }
    const std::size_t bytes = meter.bytes();

    EXPECT_GE(bytes, kBlock);
    EXPECT_LT(bytes, kBlock + kSlack);
}

TEST_F(WorkingSetMeterTest, LeavesOutMemoryFreedBeforeTheStartThatTheAllocatorHandsBackLater)
{
    // Small blocks freed below a live one stay with the allocator, resident.
    std::vector<void*> blocks;
    for (std::size_t i = 0; i < kBlock / (64 * 1024); ++i)
        blocks.push_back(std::memset(std::malloc(64 * 1024), 1, 64 * 1024));
    void* guard = std::malloc(64);
    for (void* block : blocks)
        std::free(block);

    const WorkingSetMeter meter;
    ::malloc_trim(0);
    EXPECT_LT(meter.bytes(), kSlack);
    std::free(guard);
}

TEST_F(WorkingSetMeterTest, StartsAfreshForEachMeter)
{
    std::vector<uint8_t> block = residentBlock();
    {
        const WorkingSetMeter first;
        EXPECT_GT(readEveryPage(block), 0u);
        ASSERT_GE(first.bytes(), kBlock);
    }
    const WorkingSetMeter second;
    EXPECT_LT(second.bytes(), kSlack);
}

}  // namespace
}  // namespace qv::bench
