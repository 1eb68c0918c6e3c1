#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;

constexpr std::int64_t kChunk = std::int64_t{2048} * 1024;

std::string randomBytes(std::int64_t length, std::uint32_t seed = 7) {
    std::mt19937 engine(seed);
    std::string bytes(static_cast<size_t>(length), '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(engine());
    }
    return bytes;
}

struct FileSplitTest : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};

    void SetUp() override { stdfs::create_directory(folder / "temp"); }

    std::string base() const { return (folder / "temp" / "rezOve").string(); }
    std::string chunk(std::int64_t number) const { return split::chunkFileName(base(), number); }

    // Splits `content` and returns the chunk sizes in number order, checking that the chunks
    // joined give back the content and that no other file appeared.
    std::vector<std::int64_t> splitAndMeasure(const std::string& content, std::int32_t buffers,
                                              std::int32_t bufferBytes) {
        folder.writeFile("source.log", content);
        EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), buffers, bufferBytes,
                                 FinishMessage::Hide),
                  RunStep::Done);
        std::vector<std::int64_t> sizes;
        std::string joined;
        for (std::int64_t number = 0; stdfs::exists(chunk(number)); ++number) {
            const std::string bytes = testing::readWholeFile(chunk(number));
            sizes.push_back(static_cast<std::int64_t>(bytes.size()));
            joined += bytes;
        }
        EXPECT_EQ(joined, content);
        const auto entries = std::distance(stdfs::directory_iterator(folder / "temp"), {});
        EXPECT_EQ(entries, static_cast<std::ptrdiff_t>(sizes.size()));
        stdfs::remove_all(folder / "temp");
        stdfs::create_directory(folder / "temp");
        return sizes;
    }

    std::vector<std::string> workFolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(folder / "temp")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

using Sizes = std::vector<std::int64_t>;

TEST_F(FileSplitTest, CutsLogsIntoChunksOfTwoMebibytesWithTheShortTailJoiningTheLast) {
    const std::vector<std::pair<std::int64_t, Sizes>> table = {
        {0, {0}},
        {500, {500}},
        {2 * kChunk, {kChunk, kChunk}},
        {kChunk + 100, {kChunk + 100}},
        {kChunk + 1024, {kChunk, 1024}},
        {5'000'000, {kChunk, kChunk, 805'696}},
    };
    for (const auto& [length, sizes] : table) {
        EXPECT_EQ(splitAndMeasure(randomBytes(length), 2048, 1024), sizes) << length;
    }
}

TEST_F(FileSplitTest, StartsANewChunkOnlyForAWholeBuffer) {
    // Four buffers of eight bytes per chunk: 32 bytes.
    const std::vector<std::pair<std::int64_t, Sizes>> table = {
        {7, {7}},       {8, {8}},       {9, {9}},       {31, {31}},        {32, {32}},
        {33, {33}},     {39, {39}},     {40, {32, 8}},  {41, {32, 9}},     {63, {32, 31}},
        {64, {32, 32}}, {65, {32, 33}}, {71, {32, 39}}, {72, {32, 32, 8}},
    };
    for (const auto& [length, sizes] : table) {
        EXPECT_EQ(splitAndMeasure(randomBytes(length), 4, 8), sizes) << length;
    }
}

TEST_F(FileSplitTest, NamesTheChunkAfter999WithFourDigits) {
    const std::string content = randomBytes(1002);
    folder.writeFile("source.log", content);
    EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), 1, 1, FinishMessage::Hide),
              RunStep::Done);

    EXPECT_TRUE(stdfs::exists(folder / "temp" / "rezOve.000"));
    EXPECT_EQ(testing::readWholeFile(folder / "temp" / "rezOve.999"), content.substr(999, 1));
    EXPECT_EQ(testing::readWholeFile(folder / "temp" / "rezOve.1000"), content.substr(1000, 1));
    EXPECT_EQ(testing::readWholeFile(folder / "temp" / "rezOve.1001"), content.substr(1001, 1));
    EXPECT_FALSE(stdfs::exists(folder / "temp" / "rezOve.0999"));
    EXPECT_EQ(workFolderNames().size(), 1002u);
}

TEST_F(FileSplitTest, TruncatesAStaleLongerChunk) {
    folder.writeFile("temp/rezOve.000", std::string(100, 'x'));
    EXPECT_EQ(splitAndMeasure("0123456789", 4, 8), Sizes{10});
}

#ifndef _WIN32 // symbolic links: Windows makes them only with a right ordinary accounts lack
TEST_F(FileSplitTest, ReplacesPlantedLinksInsteadOfWritingThroughThem) {
    folder.writeFile("linked", "keep");
    folder.writeFile("hard-linked", "keep too");
    stdfs::create_symlink(folder / "linked", folder / "temp" / "rezOve.000");
    stdfs::create_hard_link(folder / "hard-linked", folder / "temp" / "rezOve.001");

    EXPECT_EQ(splitAndMeasure(randomBytes(40), 4, 8), (Sizes{32, 8}));
    EXPECT_EQ(folder.readFile("linked"), "keep");
    EXPECT_EQ(folder.readFile("hard-linked"), "keep too");
}
#endif

TEST_F(FileSplitTest, LeavesNoChunkForASourceItCannotRead) {
    folder.writeFile("temp/notes.txt", "mine");
    stdfs::create_directory(folder / "a-folder.log");
    EXPECT_EQ(form.FileSplit((folder / "a-folder.log").string(), base(), 4, 8, FinishMessage::Hide),
              RunStep::LogUnreadable);
    EXPECT_EQ(form.FileSplit((folder / "gone.log").string(), base(), 4, 8, FinishMessage::Hide),
              RunStep::LogUnreadable);
    EXPECT_EQ(workFolderNames(), std::vector<std::string>{"notes.txt"});
    ASSERT_EQ(platform.messages.size(), 2u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(form.shownFailure()->subject, (folder / "gone.log").string());
    EXPECT_EQ(platform.messages[1].prompt, messages::logUnreadable(*form.shownFailure()));
}

TEST_F(FileSplitTest, TakesBackItsChunksWhenTheSourceShrinksMidway) {
    folder.writeFile("temp/notes.txt", "mine");
    folder.writeFile("source.log", randomBytes(100));
    // The log shrinks while the split yields after its first chunk.
    platform.onYield = [&] { stdfs::resize_file(folder / "source.log", 40); };
    EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), 4, 8, FinishMessage::Hide),
              RunStep::LogUnreadable);
    EXPECT_EQ(workFolderNames(), std::vector<std::string>{"notes.txt"});
    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, Problem::ShrankWhileRead);
    EXPECT_EQ(form.shownFailure()->subject, (folder / "source.log").string());
    EXPECT_EQ(platform.messages[0].prompt, messages::logUnreadable(*form.shownFailure()));
}

TEST_F(FileSplitTest, TakesBackItsChunksWhenAChunkCannotBeWrittenWhole) {
    folder.writeFile("source.log", randomBytes(100));
    // The first chunk's copy goes through; the second chunk's is refused.
    for (const auto error : {std::errc::no_space_on_device, std::errc::permission_denied}) {
        platform.messages.clear();
        platform.fileWrites = {};
        platform.fileWrites.failFrom(2, error);
        EXPECT_EQ(
            form.FileSplit((folder / "source.log").string(), base(), 4, 8, FinishMessage::Show),
            RunStep::Failed);
        EXPECT_TRUE(workFolderNames().empty());
        EXPECT_EQ(form.LstiisFile.ListCount(), 0) << "nothing is listed for a failed split";
        ASSERT_EQ(platform.messages.size(), 1u);
        ASSERT_TRUE(form.shownFailure());
        EXPECT_EQ(form.shownFailure()->code, error);
        EXPECT_EQ(form.shownFailure()->subject, chunk(1));
        EXPECT_EQ(platform.messages[0].prompt,
                  messages::splitFailed((folder / "temp").string(), *form.shownFailure()));
    }
}

TEST_F(FileSplitTest, WritesNothingForSizesBelowOne) {
    folder.writeFile("source.log", randomBytes(100));
    for (const auto& [buffers, bufferBytes] : {std::pair{0, 8}, {4, 0}, {-1, 8}, {4, -8}}) {
        EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), buffers, bufferBytes,
                                 FinishMessage::Hide),
                  RunStep::Failed);
    }
    EXPECT_TRUE(workFolderNames().empty());
}

TEST_F(FileSplitTest, StopsAtAYieldKeepingOnlyWholeChunks) {
    folder.writeFile("source.log", "0123456789ab");
    platform.onYield = [&] { form.requestStop(); };
    EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), 1, 4, FinishMessage::Hide),
              RunStep::Stopped);
    EXPECT_EQ(workFolderNames(), std::vector<std::string>{"rezOve.000"});
    EXPECT_EQ(testing::readWholeFile(chunk(0)), "0123");
}

TEST_F(FileSplitTest, DropsTheChunkInHandWhenStoppedInsideIt) {
    // One chunk of 12 MiB: the split yields inside it after 8 MiB.
    folder.writeFile("source.log", randomBytes(13 << 20));
    platform.onYield = [&] { form.requestStop(); };
    EXPECT_EQ(
        form.FileSplit((folder / "source.log").string(), base(), 3, 4 << 20, FinishMessage::Hide),
        RunStep::Stopped);
    EXPECT_EQ(platform.yields, 1);
    EXPECT_TRUE(workFolderNames().empty());
}

TEST_F(FileSplitTest, ListsTheWorkFolderOnlyWhenAskedTo) {
    folder.writeFile("source.log", "abc");
    EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), 4, 8, FinishMessage::Hide),
              RunStep::Done);
    EXPECT_EQ(form.LstiisFile.ListCount(), 0);
    EXPECT_EQ(form.FileSplit((folder / "source.log").string(), base(), 4, 8, FinishMessage::Show),
              RunStep::Done);
    EXPECT_EQ(form.LstiisFile.items(), std::vector<std::string>{"rezOve.000"});
    EXPECT_EQ(form.LstiisFile.ListIndex(), 0);
}

} // namespace
} // namespace trawlmeter
