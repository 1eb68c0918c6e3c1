#include "app/CrawlerEngines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trawlmeter {
namespace {

// Bytes that make near misses likely: the tokens' letters in both cases, and bytes whose
// case bit would turn them into letters if the comparison were careless.
constexpr std::string_view kAlphabet =
    "baiduspidergoglebtyhsnmBAIDUSPIDERGOGLEBTYHSNM@[`{ \xc2\xe2";

std::string randomItem(std::mt19937& engine) {
    std::string item(engine() % 90, ' ');
    for (char& c : item) {
        c = kAlphabet[engine() % kAlphabet.size()];
    }
    // Now and then a whole token, at any offset, so the 16-byte steps are crossed.
    if (engine() % 3 == 0) {
        auto token = std::string(kCrawlerTokens[engine() % kCrawlerTokens.size()]);
        if (engine() % 2 == 0) {
            token[engine() % token.size()] ^= 0x20;
        }
        const auto at = item.empty() ? 0 : engine() % item.size();
        item.insert(at, token);
    }
    // A cut-off token at the very end.
    if (engine() % 5 == 0) {
        item += std::string(kCrawlerTokens[engine() % kCrawlerTokens.size()]).substr(0, 2);
    }
    return item;
}

TEST(CrawlerTokenSearch, TheFastSearchAgreesWithThePlainOne) {
    std::mt19937 engine(7);
    int found = 0;
    for (int round = 0; round < 200000; ++round) {
        const auto item = randomItem(engine);
        const int expected = kCrawlerTokenSearch.findPlainly(item);
        ASSERT_EQ(kCrawlerTokenSearch.find(item), expected) << "item \"" << item << "\"";
        found += expected >= 0;
    }
    // The draw must exercise both answers.
    EXPECT_GT(found, 20000);
    EXPECT_LT(found, 180000);
}

TEST(CrawlerTokenSearch, FindsATokenAtEveryOffsetOfALongItem) {
    for (std::size_t at = 0; at < 40; ++at) {
        for (int token = 0; token < 5; ++token) {
            std::string item(at, '-');
            item += kCrawlerTokens[static_cast<std::size_t>(token)];
            item += std::string(at % 7, '-');
            EXPECT_EQ(kCrawlerTokenSearch.find(item), token) << item;
            item.pop_back();
            if (at % 7 == 0) {
                EXPECT_EQ(kCrawlerTokenSearch.find(item), -1) << item;
            }
        }
    }
}

using Width = analysis::TokenSearch::Width;
class BlockSweep : public ::testing::TestWithParam<Width> {};

TEST_P(BlockSweep, AgreesWithThePlainSearchLineByLine) {
    if (!analysis::TokenSearch::available(GetParam())) {
        GTEST_SKIP() << "no instructions for this width here";
    }
    std::mt19937 engine(11);
    analysis::BlockTokenSearch sweep(kCrawlerTokenSearch, GetParam());
    int found = 0;
    for (int round = 0; round < 2000; ++round) {
        // A block of lines as the line splitter hands them out: views into the block, in order.
        std::string block;
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        for (int line = static_cast<int>(engine() % 40); line > 0; --line) {
            const auto item = randomItem(engine);
            lines.emplace_back(block.size(), item.size());
            block += item;
            block += engine() % 2 ? "\n" : "\r\n";
        }
        // A cut-off line at the end of the block, as a chunk border leaves it.
        block += randomItem(engine);
        sweep.setBlock(block);
        for (const auto& [start, length] : lines) {
            const std::string_view item(block.data() + start, length);
            const int expected = kCrawlerTokenSearch.findPlainly(item);
            ASSERT_EQ(sweep.find(item), expected) << "item \"" << item << "\"";
            found += expected >= 0;
        }
        // A line joined from two blocks lives elsewhere.
        const std::string joined = randomItem(engine) + randomItem(engine);
        ASSERT_EQ(sweep.find(joined), kCrawlerTokenSearch.findPlainly(joined));
    }
    EXPECT_GT(found, 5000);
}

INSTANTIATE_TEST_SUITE_P(SixteenAndThirtyTwoPlaces, BlockSweep,
                         ::testing::Values(Width::Narrow, Width::Wide));

} // namespace
} // namespace trawlmeter
