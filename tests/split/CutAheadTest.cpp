#include "split/CutAhead.h"

#include "logs/LogReader.h"
#include "platform/Problem.h"
#include "split/ChunkCutter.h"
#include "split/ChunkNames.h"
#include "support/ArchiveWriter.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace trawlmeter::split {
namespace {

namespace stdfs = std::filesystem;

// Chunks of one buffer of 1 KiB: a log of a few hundred KiB is hundreds of chunks.
constexpr std::int32_t kBufferBytes = 1024;
constexpr std::int64_t kBound = 4;

// The system's writes, counting before each one how many files the work folder holds: the
// chunk in hand is among them, as it exists from its first byte on.
class FolderWatchingWrites : public FileWritePort {
public:
    explicit FolderWatchingWrites(stdfs::path folder) : m_folder(std::move(folder)) {}

    Expected<std::size_t> write(File& to, std::span<const char> bytes) override {
        watch();
        return m_system.write(to, bytes);
    }
    Expected<std::int64_t> copyRange(const File& from, std::int64_t offset, std::int64_t length,
                                     File& to) override {
        watch();
        return m_system.copyRange(from, offset, length, to);
    }

    long mostFiles() const { return m_mostFiles.load(); }

private:
    void watch() {
        const auto files = std::distance(stdfs::directory_iterator(m_folder), {});
        m_mostFiles.store(std::max(m_mostFiles.load(), static_cast<long>(files)));
    }

    stdfs::path m_folder;
    SystemFileWrites m_system;
    std::atomic<long> m_mostFiles = 0;
};

std::ptrdiff_t filesIn(const stdfs::path& folder) {
    return std::distance(stdfs::directory_iterator(folder), {});
}

// Polls for up to ten seconds; whether `done` came true.
template <typename Done> bool eventually(Done done) {
    for (int step = 0; step < 2000 && !done(); ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

class CutAheadTest : public ::testing::TestWithParam<bool> {
protected:
    CutAheadTest() {
        stdfs::create_directory(work());
        for (int line = 0; std::ssize(log) < 300 * kBufferBytes + 123; ++line) {
            log += "2008-07-15 line " + std::to_string(line) + " of the log\r\n";
        }
        folder.writeFile("access.log", log);
    }

    stdfs::path work() const { return folder / "temp"; }
    std::string base() const { return (work() / "rezOve").string(); }

    // The log as it is, or gzip'd and read as it is inflated.
    ChunkCutter cutter(FileWritePort& writes) const {
        const bool compressed = GetParam();
        if (!compressed) {
            return *ChunkCutter::ofFile((folder / "access.log").string(), base(), writes, 1,
                                        kBufferBytes);
        }
        const std::string gz = (folder / "access.log.gz").string();
        testing::writeGzip(folder / "access.log", gz);
        auto reader = logs::LogReader::open(logs::LogEntry{gz, {}, -1});
        return *ChunkCutter::ofLog(std::move(*reader), base(), writes, 1, kBufferBytes);
    }

    testing::TestFolder folder;
    std::string log;
};

TEST_P(CutAheadTest, TheWorkFolderNeverHoldsMoreThanTheBoundAndEveryByteComesInOrder) {
    FolderWatchingWrites writes(work());
    CutAhead cut(cutter(writes), kBound);
    // The cut runs as far ahead as it may before the first chunk is let go of, and stays there.
    ASSERT_TRUE(eventually([&] { return filesIn(work()) >= kBound; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    std::string chunks;
    std::int64_t number = 0;
    for (;; ++number) {
        const auto next = cut.waitFor(number, {});
        ASSERT_TRUE(next) << next.error().code.message();
        if (*next == CutAhead::Chunk::PastTheEnd) {
            break;
        }
        const stdfs::path chunk = chunkFileName(base(), number);
        chunks += testing::readWholeFile(chunk);
        stdfs::remove(chunk);
        cut.letGo(number);
    }

    EXPECT_EQ(number, 300);
    EXPECT_EQ(chunks, log) << "the 123 bytes of the tail join the last chunk";
    EXPECT_EQ(writes.mostFiles(), kBound);
    EXPECT_EQ(filesIn(work()), 0);
}

TEST_P(CutAheadTest, AStopEndsTheCutKeepingOnlyItsWholeChunks) {
    FolderWatchingWrites writes(work());
    CutAhead cut(cutter(writes), kBound);
    ASSERT_TRUE(cut.waitFor(0, {}));
    stdfs::remove(chunkFileName(base(), 0));
    cut.letGo(0);
    ASSERT_TRUE(eventually([&] { return filesIn(work()) >= kBound; }));

    cut.stop();

    const auto next = cut.waitFor(kBound + 1, {});
    ASSERT_FALSE(next);
    EXPECT_EQ(next.error().code, Problem::Stopped);
    // The chunks cut before the stop stay whole for the one who let go of none of them.
    EXPECT_EQ(filesIn(work()), kBound);
    for (std::int64_t number = 1; number <= kBound; ++number) {
        EXPECT_EQ(testing::readWholeFile(chunkFileName(base(), number)),
                  log.substr(static_cast<std::size_t>(number * kBufferBytes), kBufferBytes));
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndGzip, CutAheadTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Gzip" : "Plain"; });

} // namespace
} // namespace trawlmeter::split
