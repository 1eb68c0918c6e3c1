#include "platform/LargePageArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace trawlmeter {
namespace {

struct Piece {
    unsigned char* start;
    std::size_t size;
};

// Fills every piece with its own byte, then checks that no later piece wrote over an earlier one.
void expectApart(const std::vector<Piece>& pieces) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::memset(pieces[i].start, static_cast<int>(i + 1), pieces[i].size);
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        for (std::size_t at = 0; at < pieces[i].size; at += 4093) {
            ASSERT_EQ(pieces[i].start[at], static_cast<unsigned char>(i + 1)) << "piece " << i;
        }
        ASSERT_EQ(pieces[i].start[pieces[i].size - 1], static_cast<unsigned char>(i + 1));
    }
}

TEST(LargePageArena, HandsOutAlignedPiecesApartAndHoldsASmallBlockThenWholeLargePages) {
    constexpr std::size_t kSmall = LargePageArena::kFirstBlock;
    constexpr std::size_t kLarge = LargePageArena::kLargePage;
    LargePageArena arena;
    std::vector<Piece> pieces;
    const auto take = [&](std::size_t size, std::size_t alignment) {
        auto* start = static_cast<unsigned char*>(arena.allocate(size, alignment));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(start) % alignment, 0u) << size;
        pieces.push_back({start, size});
    };
    take(1, 1);
    take(24, 8);
    take(100, 64);
    EXPECT_EQ(arena.held(), kSmall);
    take(kSmall - 100, 16); // no longer fits the first block
    EXPECT_EQ(arena.held(), kSmall + kLarge);
    take(kLarge - (kSmall - 100), 4); // what is left of the large page, to the byte
    EXPECT_EQ(arena.held(), kSmall + kLarge);
    take(kLarge + 1, 4096);
    EXPECT_EQ(arena.held(), kSmall + 3 * kLarge);
    expectApart(pieces);

    arena.release();
    EXPECT_EQ(arena.held(), 0u);
    pieces.clear();
    take(kSmall + 1, 16); // too large for a small first block
    EXPECT_EQ(arena.held(), kLarge);
    expectApart(pieces);
}

} // namespace
} // namespace trawlmeter
