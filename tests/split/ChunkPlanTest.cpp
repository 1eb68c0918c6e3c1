#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"

#include <gtest/gtest.h>

namespace trawlmeter::split {
namespace {

TEST(ChunkPlan, LaysOutSourcesBeyondFourGibibytes) {
    constexpr std::int64_t kChunk = std::int64_t{2048} * 1024;
    const std::int64_t length = (std::int64_t{5} << 30) + 100;
    const ChunkPlan plan(length, 2048, 1024);
    ASSERT_EQ(plan.chunkCount(), 2560);
    EXPECT_EQ(plan.chunk(2558).offset, 2558 * kChunk);
    EXPECT_EQ(plan.chunk(2559).offset, 2559 * kChunk);
    EXPECT_EQ(plan.chunk(2559).length, kChunk + 100);
}

TEST(ChunkPlan, CountsChunksBeyondTheThirtyTwoBitRange) {
    const ChunkPlan plan(std::int64_t{3} << 32, 1, 1);
    EXPECT_EQ(plan.chunkCount(), std::int64_t{3} << 32);
    EXPECT_EQ(chunkFileName("t/rezOve", plan.chunkCount() - 1), "t/rezOve.12884901887");
}

} // namespace
} // namespace trawlmeter::split
