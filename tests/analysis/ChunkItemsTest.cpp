#include "analysis/ChunkItems.h"

#include <array>

#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trawlmeter::analysis {
namespace {

constexpr std::array<std::string_view, 2> kTokens{"baiduspider", "msn"};
constexpr TokenSearch kSearch{kTokens};

class ChunkItemsTest : public ::testing::Test {
protected:
    // Scans the named chunks in turn, then ends the log; every item handed out, in order, and
    // the tokens found in them.
    std::vector<std::string> itemsOf(const std::vector<std::string>& names) {
        std::vector<std::string> items;
        for (const auto& name : names) {
            const auto end = chunks.scan((folder / name).string(), [&](const Item& item) {
                items.emplace_back(item.text);
                tokens.push_back(item.token);
                return true;
            });
            readable.push_back(end.has_value());
        }
        if (const auto last = chunks.finish()) {
            items.emplace_back(last->text);
            tokens.push_back(last->token);
        }
        return items;
    }

    testing::TestFolder folder;
    ChunkItems chunks{kSearch};
    std::vector<bool> readable;
    std::vector<int> tokens;
};

using Items = std::vector<std::string>;

TEST_F(ChunkItemsTest, JoinsALineCutByAChunkBorder) {
    folder.writeFile("c0", "#Date: x\r\n2010-12-28 16:20:04 Baidu");
    folder.writeFile("c1", "spider 200\r\nnext\r\n");
    EXPECT_EQ(itemsOf({"c0", "c1"}),
              (Items{"#Date: x", "2010-12-28 16:20:04 Baiduspider 200", "next"}));
}

TEST_F(ChunkItemsTest, TakesACrAndAnLfInTheNextChunkAsOneLineEnd) {
    folder.writeFile("c0", "a\r");
    folder.writeFile("c1", "\nb\r");
    folder.writeFile("c2", "\r\n");
    // "a", "b", then a lone CR's empty line ended by CR LF.
    EXPECT_EQ(itemsOf({"c0", "c1", "c2"}), (Items{"a", "b", ""}));
}

TEST_F(ChunkItemsTest, HandsOutTheLastHeldPartOnlyWhenTheLogEnds) {
    folder.writeFile("c0", "a\nms");
    folder.writeFile("c1", "");
    folder.writeFile("c2", "n b");
    EXPECT_EQ(itemsOf({"c0", "c1", "c2"}), (Items{"a", "msn b"}));
    EXPECT_EQ(tokens, (std::vector{-1, 1}));
    EXPECT_FALSE(chunks.finish());
}

TEST_F(ChunkItemsTest, AMissingChunkEndsAtOnceAndKeepsTheHeldPart) {
    folder.writeFile("c0", "a\nms");
    folder.writeFile("c2", "n b\n");
    EXPECT_EQ(itemsOf({"c0", "c1", "c2"}), (Items{"a", "msn b"}));
    EXPECT_EQ(readable, (std::vector{true, false, true}));
}

TEST_F(ChunkItemsTest, KeepsTheHeldPartWithinOneMebibyte) {
    constexpr std::size_t kMiB = 1 << 20;
    folder.writeFile("c0", std::string(kMiB / 2 * 3, 'x'));
    folder.writeFile("c1", "msn" + std::string(kMiB - 3, 'x') + "\nmsn\n");
    const auto items = itemsOf({"c0", "c1"});
    // 2.5 MiB give three items, the second starting at 1 MiB, then the short line.
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].size(), kMiB);
    EXPECT_EQ(items[1].size(), kMiB);
    EXPECT_EQ(items[2].size(), kMiB / 2);
    EXPECT_EQ(items[3], "msn");
}

TEST_F(ChunkItemsTest, AStopDropsWhatTheChunkStillHeld) {
    folder.writeFile("c0", "a\nb\nms");
    EXPECT_EQ(chunks.scan((folder / "c0").string(), [](const Item&) { return false; }),
              ChunkScanEnd::Stopped);
    const auto missing = chunks.scan((folder / "c1").string(), [](const Item&) { return true; });
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(missing.error().subject, (folder / "c1").string());
    EXPECT_FALSE(chunks.finish());
}

} // namespace
} // namespace trawlmeter::analysis
