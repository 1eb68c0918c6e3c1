#include "platform/Problem.h"
#include "support/ShippedEngines.h"
#include "support/TestFolder.h"
#include "verify/CrawlerRanges.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trawlmeter::verify {
namespace {

namespace stdfs = std::filesystem;

bool inRanges(const CrawlerRanges& ranges, const char* table, const char* address) {
    return ranges.contains(table, *IpAddress::parse(address));
}

// A program folder holding the shipped range files, one of them replaced by `text`.
struct RangeFolder {
    explicit RangeFolder(const char* replaced = nullptr, const char* text = nullptr) {
        for (const auto& file : stdfs::directory_iterator(TRAWLMETER_RANGES_DIR)) {
            if (file.path().extension() == ".json") {
                stdfs::copy_file(file.path(), folder.path() / file.path().filename());
            }
        }
        if (replaced) {
            folder.writeFile(replaced, text);
        }
    }
    Expected<CrawlerRanges> load() const {
        return CrawlerRanges::load(folder.str(), testing::shippedIdentities());
    }
    testing::TestFolder folder;
};

TEST(CrawlerRanges, TheShippedFilesGiveGoogleAndMsnTheirCrawlersAndNoOtherEngineAny) {
    const auto ranges = RangeFolder().load();
    ASSERT_TRUE(ranges) << ranges.error().code.message() << " " << ranges.error().subject;
    EXPECT_TRUE(inRanges(*ranges, "google", "66.249.66.1"));          // Googlebot
    EXPECT_TRUE(inRanges(*ranges, "google", "2001:4860:4801:10::1")); // Googlebot over IPv6
    EXPECT_TRUE(inRanges(*ranges, "google", "66.249.87.1"));          // a special crawler
    EXPECT_TRUE(inRanges(*ranges, "google", "107.178.192.1"));        // a fetcher users trigger
    EXPECT_TRUE(inRanges(*ranges, "msn", "157.55.39.1"));             // bingbot
    EXPECT_TRUE(inRanges(*ranges, "msn", "40.77.191.255"));           // end of a /22
    EXPECT_FALSE(inRanges(*ranges, "google", "157.55.39.1"));
    EXPECT_FALSE(inRanges(*ranges, "msn", "66.249.66.1"));
    EXPECT_FALSE(inRanges(*ranges, "google", "203.0.113.1"));
    // Bing's ranges are bingbot's, which does not sign as Yahoo.
    EXPECT_FALSE(inRanges(*ranges, "yahoo", "157.55.39.1"));
    EXPECT_FALSE(inRanges(*ranges, "baidu", "66.249.66.1"));
}

TEST(CrawlerRanges, TheBuildLaysTheShippedFilesBesideTheProgram) {
    for (const auto& file : stdfs::directory_iterator(TRAWLMETER_RANGES_DIR)) {
        if (file.path().extension() == ".json") {
            EXPECT_TRUE(stdfs::is_regular_file(stdfs::path(TRAWLMETER_PROGRAM_DIR) /
                                               file.path().filename()))
                << file.path().filename();
        }
    }
}

TEST(CrawlerRanges, AFileWithoutPrefixesIsRefusedNotTakenAsNoRanges) {
    // What Google serves at the addresses it retired.
    for (const char* stub : {R"({"creationTime": "2025-01-01T00:00:00.000000", "prefixes": []})",
                             R"({"prefixes":[]})"}) {
        const auto ranges = RangeFolder("googlebot.json", stub).load();
        ASSERT_FALSE(ranges) << stub;
        EXPECT_EQ(ranges.error().code, Problem::RangeFileWithoutPrefixes);
        EXPECT_EQ(stdfs::path(ranges.error().subject).filename(), "googlebot.json");
    }
}

TEST(CrawlerRanges, AMalformedFileIsRefusedSayingWhere) {
    struct Case {
        const char* text;
        const char* where;
    };
    for (
        const auto& [text, where] : {
            Case{"<!DOCTYPE html><html>", "parse error"},
            Case{R"({"prefixes": [{"ipv4Prefix": "157.55.39.0/24"})", "parse error"},
            Case{"[]", "not a JSON object"},
            Case{R"({"creationTime": "2024-01-03T10:00:00"})", "no \"prefixes\" list"},
            Case{R"({"prefixes": {"ipv4Prefix": "157.55.39.0/24"}})", "no \"prefixes\" list"},
            Case{
                R"({"prefixes": [{"ipv4Prefix": "157.55.39.0/24"}, {"ipv4Prefix": "157.55.39.0/33"}]})",
                "prefixes[1]: \"157.55.39.0/33\" is not an IPv4 prefix"},
            Case{R"({"prefixes": [{"ipv4Prefix": "2001:db8::/32"}]})",
                 "prefixes[0]: \"2001:db8::/32\" is not an IPv4 prefix"},
            Case{R"({"prefixes": [{"ipv6Prefix": 64}]})", "prefixes[0]: 64 is not an IPv6"},
            Case{R"({"prefixes": [{"ipv4Prefix": "1.2.3.0/24", "ipv6Prefix": "::/0"}]})",
                 "prefixes[0] has not one of"},
            Case{R"({"prefixes": ["157.55.39.0/24"]})", "prefixes[0] has not one of"},
        }) {
        const auto ranges = RangeFolder("bingbot.json", text).load();
        ASSERT_FALSE(ranges) << text;
        EXPECT_EQ(ranges.error().code, Problem::MalformedRangeFile) << text;
        EXPECT_EQ(stdfs::path(ranges.error().subject).filename(), "bingbot.json") << text;
        EXPECT_NE(ranges.error().detail.find(where), std::string::npos)
            << text << " gave: " << ranges.error().detail;
    }
}

TEST(CrawlerRanges, AMissingFileIsRefusedWithTheSystemsReason) {
    const RangeFolder program;
    stdfs::remove(program.folder / "special-crawlers.json");
    const auto ranges = program.load();
    ASSERT_FALSE(ranges);
    EXPECT_EQ(ranges.error().code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(ranges.error().subject, (program.folder / "special-crawlers.json").string());
}

} // namespace
} // namespace trawlmeter::verify
