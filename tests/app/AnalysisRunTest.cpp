#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "support/ArchiveWriter.h"
#include "support/FakePlatform.h"
#include "support/FaultyVfs.h"
#include "support/GeneratedLog.h"
#include "support/TestFolder.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"
#include "support/VisitRecords.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;
using testing::GeneratedLog;

constexpr std::array<const char*, 5> kTables{"baidu", "google", "yahoo", "sogou", "msn"};
// Three chunks of the split command's 2 MiB.
constexpr std::int64_t kThreeChunkBytes = 5'000'000;

class AnalysisRun : public ::testing::Test {
protected:
    AnalysisRun() {
        folder.createVisitDatabase();
        form.Form_Load();
    }

    std::string databasePath() const { return (folder / "rezOve.mdb").string(); }
    stdfs::path workFolder() const { return folder / "temp"; }

    GeneratedLog chooseGeneratedLog(std::int64_t bytes) {
        const auto log = testing::writeTestLog(folder / "access.log", bytes);
        form.TxtrezOveFile.setText((folder / "access.log").string());
        return log;
    }

    void expectCounters(const GeneratedLog& log, long runs) {
        const std::array<const TextBox*, 5> counters{&form.TxtBaiduCnt, &form.TxtGoogleCnt,
                                                     &form.TxtYahooCnt, &form.TxtSogouCnt,
                                                     &form.TxtMsnCnt};
        for (std::size_t engine = 0; engine < counters.size(); ++engine) {
            EXPECT_EQ(counters[engine]->Text(), std::to_string(log.crawlerLines[engine] * runs))
                << kTables[engine];
        }
        EXPECT_EQ(form.TxtLineCnt.Text(), std::to_string(log.lines * runs));
    }

    // The run stopped with one message: the database's disk is full, met by the commit or by a
    // record of one of the tables.
    void expectDatabaseFull(std::initializer_list<std::string> subjects) const {
        ASSERT_EQ(platform.messages.size(), 1u);
        ASSERT_TRUE(form.shownFailure());
        EXPECT_EQ(form.shownFailure()->code, std::errc::no_space_on_device);
        EXPECT_NE(std::find(subjects.begin(), subjects.end(), form.shownFailure()->subject),
                  subjects.end())
            << form.shownFailure()->subject;
        EXPECT_EQ(platform.messages[0].prompt, messages::databaseWriteFailed(*form.shownFailure()));
    }

    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};
};

TEST_F(AnalysisRun, CountsEveryLineOnceAndStoresEveryCrawlerLineWholeAcrossChunkBorders) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    std::vector<std::string> progress;
    std::set<std::string> chunksSeenAfterTheirScan;
    platform.onYield = [&] {
        if (progress.empty() || progress.back() != form.Label3.Caption()) {
            progress.push_back(form.Label3.Caption());
        }
        // Every chunk before the one in hand must already be gone, but the last, whose records
        // may still be being committed.
        for (std::int64_t done = 0; done + 2 < form.LstiisFile.ListIndex() + 1; ++done) {
            const auto& name = form.LstiisFile.items()[static_cast<std::size_t>(done)];
            if (stdfs::exists(workFolder() / name)) {
                chunksSeenAfterTheirScan.insert(name);
            }
        }
    };

    form.CmdAnalysis_Click();

    expectCounters(log, 1);
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "3");
    EXPECT_EQ(progress, (std::vector<std::string>{"准备中", "正在分析第 1 个临时日志文件",
                                                  "正在分析第 2 个临时日志文件",
                                                  "正在分析第 3 个临时日志文件"}));
    EXPECT_TRUE(chunksSeenAfterTheirScan.empty());
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
    EXPECT_EQ(form.Label2.Caption(), "临时日志文件已删除");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
    EXPECT_EQ(form.LstiisFile.ListIndex(), 2);
    EXPECT_EQ(form.TxtFileName.Text(), "rezOve.002");
    EXPECT_TRUE(platform.messages.empty());

    for (std::size_t engine = 0; engine < kTables.size(); ++engine) {
        const auto records = testing::readVisitRecords(databasePath(), kTables[engine]);
        ASSERT_EQ(static_cast<long>(records.size()), log.crawlerLines[engine]) << kTables[engine];
        std::set<std::string> queries;
        for (const auto& record : records) {
            EXPECT_EQ(record[0], "2008-07-15");
            EXPECT_EQ(record[2], "W3SVC1");
            EXPECT_EQ(record[10], testing::crawlerAgent(static_cast<int>(engine)));
            EXPECT_EQ(record[13], "0");
            queries.insert(record[6].value_or(""));
        }
        EXPECT_EQ(queries.size(), records.size())
            << "a line was stored twice in " << kTables[engine];
    }
}

TEST_F(AnalysisRun, ASecondRunDoublesTheCountersAndTheRecords) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    form.CmdAnalysis_Click();
    form.CmdAnalysis_Click();

    expectCounters(log, 2);
    EXPECT_EQ(testing::countRows(databasePath(), "google"), 2 * log.crawlerLines[1]);
    EXPECT_FALSE(stdfs::exists(workFolder()));
}

TEST_F(AnalysisRun, WithNoLogAndAnEmptyListItOnlyReportsAndCleansUp) {
    stdfs::create_directory(workFolder());
    form.CmdAnalysis_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, "所选择的日志文件不存在，请重新选择");
    EXPECT_EQ(form.TxtLineCnt.Text(), "0");
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
    EXPECT_EQ(form.Label2.Caption(), "临时日志文件已删除");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
}

TEST_F(AnalysisRun, AMissingLogWithAStaleListWalksTheGoneChunksAndStoresNothing) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    form.CmdAnalysis_Click();
    stdfs::remove(folder / "access.log");

    form.CmdAnalysis_Click();

    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(form.LstiisFile.ListCount(), 3);
    expectCounters(log, 1);
    EXPECT_EQ(testing::countRows(databasePath(), "baidu"), log.crawlerLines[0]);
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
}

TEST_F(AnalysisRun, AChunkThatCannotBeDeletedStaysWhileTheRunGoesOn) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    platform.onYield = [&] {
        if (form.TxtFileName.Text() == "rezOve.000") {
            stdfs::permissions(workFolder() / "rezOve.000", stdfs::perms::owner_read,
                               stdfs::perm_options::replace);
        }
    };

    form.CmdAnalysis_Click();

    expectCounters(log, 1);
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
    // Removing the work folder does not force a write-protected file either.
    EXPECT_TRUE(stdfs::exists(workFolder() / "rezOve.000"));
    EXPECT_FALSE(stdfs::exists(workFolder() / "rezOve.001"));
}

TEST_F(AnalysisRun, ClosingTheWindowStopsTheRunWithItsRecordsCommittedAndTheWorkFolderGone) {
    chooseGeneratedLog(kThreeChunkBytes);
    platform.onYield = [&] {
        if (form.TxtFileName.Text() == "rezOve.001" && form.runInProgress()) {
            form.requestStop();
        }
    };

    form.CmdAnalysis_Click();

    EXPECT_FALSE(form.runInProgress());
    EXPECT_EQ(form.TxtFileName.Text(), "rezOve.001");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    // The database is still open: the window closes it only once the run has returned.
    ASSERT_TRUE(form.VisitDb);
    long stored = 0;
    for (const char* table : kTables) {
        stored += testing::countRows(databasePath(), table);
    }
    const long counted = std::stol(form.TxtBaiduCnt.Text()) + std::stol(form.TxtGoogleCnt.Text()) +
                         std::stol(form.TxtYahooCnt.Text()) + std::stol(form.TxtSogouCnt.Text()) +
                         std::stol(form.TxtMsnCnt.Text());
    EXPECT_GT(counted, 0);
    EXPECT_EQ(stored, counted);
    EXPECT_TRUE(form.Form_Unload());
    EXPECT_FALSE(form.VisitDb);
}

#ifndef _WIN32 // symbolic links: Windows makes them only with a right ordinary accounts lack
TEST_F(AnalysisRun, RemovesWhatAnInterruptedRunLeftAndCountsOnlyTheNewLog) {
    stdfs::create_directories(workFolder() / "sub");
    stdfs::create_directory(folder / "outside");
    folder.writeFile("outside/msn.txt", "msn msn msn\n");
    for (const char* name : {"rezOve.000", "rezOve.001", "rezOve.017", "notes.txt"}) {
        folder.writeFile("temp/" + std::string(name), "msnbot stale line\n");
    }
    stdfs::permissions(workFolder() / "rezOve.017", stdfs::perms::owner_read);
    stdfs::create_directory_symlink(folder / "outside", workFolder() / "rezOve.002");
    const auto log = chooseGeneratedLog(kThreeChunkBytes);

    form.CmdAnalysis_Click();

    expectCounters(log, 1);
    EXPECT_EQ(testing::countRows(databasePath(), "msn"), log.crawlerLines[4]);
    EXPECT_EQ(form.LstiisFile.items(),
              (std::vector<std::string>{"rezOve.000", "rezOve.001", "rezOve.002"}));
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_EQ(folder.readFile("outside/msn.txt"), "msn msn msn\n");
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Done);
}
#endif

TEST_F(AnalysisRun, ALogInsideTheWorkFolderIsRefusedAndKeptThoughChosenDuringTheYield) {
    chooseGeneratedLog(20'000);
    stdfs::create_directory(workFolder());
    folder.writeFile("temp/mine.log", "msnbot mine\n");
#ifdef _WIN32
    // Windows compares names without regard to case, and makes symbolic links only with a
    // right ordinary accounts lack.
    const std::string inside = (folder / "SUB/../TEMP/mine.log").string();
#else
    stdfs::create_directory_symlink(folder.path(), folder / "above");
    const std::string inside = (folder / "above/sub/../temp/mine.log").string();
#endif
    stdfs::create_directory(folder / "sub");
    form.TxtrezOveFile.setText(inside);

    form.CmdAnalysis_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, Problem::InWorkFolder);
    EXPECT_EQ(form.shownFailure()->subject, inside);
    EXPECT_EQ(platform.messages[0].prompt, messages::logInWorkFolder(*form.shownFailure()));
    EXPECT_EQ(form.Label3.Caption(), "分析未完成");
    EXPECT_EQ(folder.readFile("temp/mine.log"), "msnbot mine\n");

    // Chosen while the split yields, after the work folder was emptied: refused, and the run's
    // clean-up leaves it where it is.
    form.TxtrezOveFile.setText((folder / "access.log").string());
    bool chosen = false;
    platform.onYield = [&] {
        if (!chosen) {
            chosen = true;
            folder.writeFile("temp/late.log", "msnbot late\n");
            form.TxtrezOveFile.setText((workFolder() / "late.log").string());
        }
    };
    form.CmdAnalysis_Click();
    EXPECT_EQ(form.shownFailure()->code, Problem::InWorkFolder);
    EXPECT_EQ(folder.readFile("temp/late.log"), "msnbot late\n");
    EXPECT_EQ(form.TxtLineCnt.Text(), "0");
}

TEST_F(AnalysisRun, ASecondRunOnTheSameFolderStopsAtOnceAndTouchesNothing) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    testing::FakePlatform otherPlatform;
    MainForm other(otherPlatform.ports(folder.str()));
    other.Form_Load();
    other.TxtrezOveFile.setText(form.TxtrezOveFile.Text());
    bool tried = false;
    platform.onYield = [&] {
        if (!tried && form.TxtFileName.Text() == "rezOve.001") {
            tried = true;
            // The cut runs ahead on its own thread: the next chunk may or may not be cut yet.
            const bool nextWasCut = stdfs::exists(workFolder() / "rezOve.002");
            other.CmdAnalysis_Click();
            EXPECT_TRUE(stdfs::exists(workFolder() / "rezOve.001"));
            if (nextWasCut) {
                EXPECT_TRUE(stdfs::exists(workFolder() / "rezOve.002"));
            }
        }
    };

    form.CmdAnalysis_Click();

    ASSERT_TRUE(tried);
    expectCounters(log, 1);
    EXPECT_EQ(testing::countRows(databasePath(), "google"), log.crawlerLines[1]);
    ASSERT_EQ(otherPlatform.messages.size(), 1u);
    EXPECT_EQ(otherPlatform.messages[0].prompt, "另一个分析正在使用此程序文件夹，请等它结束后再试");
    EXPECT_EQ(other.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(other.Label3.Caption(), "分析未完成");
    EXPECT_EQ(other.Label2.Caption(), "准备中");
    EXPECT_EQ(other.TxtLineCnt.Text(), "0");
    EXPECT_TRUE(other.CmdAnalysis.Enabled());
    // Once the first run is over the folder is free again.
    other.CmdAnalysis_Click();
    EXPECT_EQ(other.lastRunOutcome(), RunStep::Done);
}

TEST_F(AnalysisRun, WaitsForAnotherProgramsWriteLockWithTheWindowLive) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath().c_str(), &other), SQLITE_OK);
    enum { Before, Locked, Released } lock = Before;
    int idleYields = 0;
    // The other program holds the write lock when the run starts.
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    lock = Locked;
    platform.onYield = [&] {
        if (lock == Locked && form.TxtLineCnt.Text() == "0" && ++idleYields == 30) {
            // Thirty yields before anything was cut: the run is waiting, the window with it.
            EXPECT_EQ(form.Label2.Caption(), "准备中");
            ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
            lock = Released;
        }
    };

    form.CmdAnalysis_Click();
    sqlite3_close(other);

    EXPECT_EQ(lock, Released);
    EXPECT_TRUE(platform.messages.empty());
    expectCounters(log, 1);
    for (std::size_t engine = 0; engine < kTables.size(); ++engine) {
        EXPECT_EQ(testing::countRows(databasePath(), kTables[engine]), log.crawlerLines[engine]);
    }
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
}

TEST_F(AnalysisRun, AFullDatabaseDiskStopsTheRunKeepingWhatEarlierChunksCommitted) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    EXPECT_TRUE(form.Form_Unload());
    testing::FaultyVfs vfs;
    form.Form_Load();
    ASSERT_TRUE(form.VisitDb);
    // The disk fills while the third chunk is scanned: the first chunk's records are committed
    // by then, the second's may be.
    std::string baiduAfterFirstChunk;
    std::string baiduAfterSecondChunk;
    platform.onYield = [&] {
        if (baiduAfterFirstChunk.empty() && form.TxtFileName.Text() == "rezOve.001") {
            baiduAfterFirstChunk = form.TxtBaiduCnt.Text();
        }
        if (baiduAfterSecondChunk.empty() && form.TxtFileName.Text() == "rezOve.002") {
            baiduAfterSecondChunk = form.TxtBaiduCnt.Text();
            vfs.failFrom(1);
        }
    };

    form.CmdAnalysis_Click();

    expectDatabaseFull({databasePath(), "baidu", "google", "yahoo", "sogou", "msn"});
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(form.Label3.Caption(), "分析未完成");
    EXPECT_EQ(form.TxtFileName.Text(), "rezOve.002");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
    const long linesShown = std::stol(form.TxtLineCnt.Text());
    EXPECT_TRUE(form.Form_Unload()) << "nothing was left to commit";
    // With room again the next start rolls back a commit that was cut off half-written.
    vfs.heal();
    form.Form_Load();
    const long stored = testing::countRows(databasePath(), "baidu");
    EXPECT_TRUE(stored == std::stol(baiduAfterFirstChunk) ||
                stored == std::stol(baiduAfterSecondChunk))
        << stored;
    // The window shows the end of the chunk whose commit was refused: the second's, or the
    // third's at the end of the log.
    EXPECT_EQ(linesShown < log.lines, stored == std::stol(baiduAfterFirstChunk)) << linesShown;
}

TEST_F(AnalysisRun, ARefusedCommitPutsTheWindowBackToTheEndOfItsChunk) {
    chooseGeneratedLog(kThreeChunkBytes);
    // What the window shows when the scan has just ended the first chunk.
    std::ifstream in(folder / "access.log", std::ios::binary);
    std::string firstChunk(2'097'152, '\0');
    in.read(firstChunk.data(), static_cast<std::streamsize>(firstChunk.size()));
    long lines = 0;
    std::array<long, 5> visits{};
    std::string lastVisit;
    for (std::size_t at = 0, end; (end = firstChunk.find('\n', at)) != std::string::npos;
         at = end + 1) {
        std::string line = firstChunk.substr(at, end - at);
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        ++lines;
        for (int engine = 0; engine < 5; ++engine) {
            if (line.find(testing::crawlerAgent(engine)) != std::string::npos) {
                ++visits[static_cast<std::size_t>(engine)];
                lastVisit = line;
            }
        }
    }
    EXPECT_TRUE(form.Form_Unload());
    testing::FaultyVfs vfs;
    form.Form_Load();
    ASSERT_TRUE(form.VisitDb);
    // The first chunk's commit is refused while the next chunk is scanned.
    vfs.failDatabaseWrites();

    form.CmdAnalysis_Click();

    expectDatabaseFull({databasePath()});
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(form.TxtLineCnt.Text(), std::to_string(lines));
    const std::array<const TextBox*, 5> counters{&form.TxtBaiduCnt, &form.TxtGoogleCnt,
                                                 &form.TxtYahooCnt, &form.TxtSogouCnt,
                                                 &form.TxtMsnCnt};
    for (std::size_t engine = 0; engine < counters.size(); ++engine) {
        EXPECT_EQ(counters[engine]->Text(), std::to_string(visits[engine])) << kTables[engine];
    }
    EXPECT_EQ(form.TxtContent.Text(), lastVisit);
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_TRUE(form.Form_Unload());
    vfs.heal();
    form.Form_Load();
    for (const char* table : kTables) {
        EXPECT_EQ(testing::countRows(databasePath(), table), 0) << table;
    }
}

TEST_F(AnalysisRun, ARefusedRecordStopsTheRunAtItsLineWithTheChunkRolledBack) {
    // The third Baidu line of the generated log is line n=100; the table refuses it.
    std::string schema = testing::readWholeFile(TRAWLMETER_SCHEMA_FILE);
    schema.replace(schema.find("scwin32status TEXT);"), 20,
                   "scwin32status TEXT, CHECK (csuriquery <> 'n=100'));");
    EXPECT_TRUE(form.Form_Unload());
    stdfs::remove(folder / "rezOve.mdb");
    folder.createDatabase("rezOve.mdb", schema);
    testing::FakePlatform otherPlatform;
    MainForm other(otherPlatform.ports(folder.str()));
    other.Form_Load();
    ASSERT_TRUE(other.VisitDb);
    chooseGeneratedLog(kThreeChunkBytes);
    other.TxtrezOveFile.setText(form.TxtrezOveFile.Text());

    other.CmdAnalysis_Click();

    // As if the scan had stopped on that line: counted by its engine and by the line counter.
    EXPECT_EQ(other.TxtBaiduCnt.Text(), "3");
    EXPECT_EQ(other.TxtGoogleCnt.Text(), "2");
    EXPECT_EQ(other.TxtMsnCnt.Text(), "2");
    EXPECT_EQ(other.TxtLineCnt.Text(), "105");
    EXPECT_NE(other.TxtContent.Text().find(" n=100 "), std::string::npos);
    ASSERT_EQ(otherPlatform.messages.size(), 1u);
    ASSERT_TRUE(other.shownFailure());
    EXPECT_EQ(other.shownFailure()->code, sqliteError(SQLITE_CONSTRAINT_CHECK));
    EXPECT_EQ(other.shownFailure()->subject, "baidu");
    EXPECT_EQ(otherPlatform.messages[0].prompt,
              messages::databaseWriteFailed(*other.shownFailure()));
    EXPECT_EQ(other.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(testing::countRows(databasePath(), "google"), 0) << "the chunk is rolled back";
    EXPECT_FALSE(stdfs::exists(workFolder()));
}

TEST_F(AnalysisRun, AFullWorkFolderDiskStopsTheRunBeforeAnyLineIsCounted) {
    chooseGeneratedLog(kThreeChunkBytes);
    platform.fileWrites.failFrom(1, std::errc::no_space_on_device);

    form.CmdAnalysis_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, std::errc::no_space_on_device);
    EXPECT_EQ(form.shownFailure()->subject, (workFolder() / "rezOve.000").string());
    EXPECT_EQ(platform.messages[0].prompt,
              messages::splitFailed(workFolder().string(), *form.shownFailure()));
    EXPECT_TRUE(platform.messages[0].prompt.ends_with("，分析未进行"));
    EXPECT_EQ(form.TxtLineCnt.Text(), "0");
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(form.Label3.Caption(), "分析未完成");
    EXPECT_FALSE(stdfs::exists(workFolder()));
}

TEST_F(AnalysisRun, ADiskThatFillsWhileCuttingAheadKeepsTheChunksScannedBeforeIt) {
    chooseGeneratedLog(kThreeChunkBytes);
    // One kernel copy per chunk: the second chunk cannot be written.
    platform.fileWrites.failFrom(2, std::errc::no_space_on_device);

    form.CmdAnalysis_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, std::errc::no_space_on_device);
    EXPECT_EQ(form.shownFailure()->subject, (workFolder() / "rezOve.001").string());
    EXPECT_EQ(platform.messages[0].prompt,
              messages::splitFailed(workFolder().string(), *form.shownFailure(),
                                    messages::EarlierRecords::Kept));
    EXPECT_TRUE(platform.messages[0].prompt.ends_with("，分析已停止；之前的记录已保存"));
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Failed);
    EXPECT_EQ(form.Label3.Caption(), "分析未完成");
    EXPECT_EQ(form.TxtFileName.Text(), "rezOve.000");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    // The first chunk's whole lines are counted and stored, and nothing after them.
    EXPECT_GT(std::stol(form.TxtLineCnt.Text()), 0);
    EXPECT_LT(std::stol(form.TxtLineCnt.Text()), 2'097'152 / 100);
    const std::array<const TextBox*, 5> counters{&form.TxtBaiduCnt, &form.TxtGoogleCnt,
                                                 &form.TxtYahooCnt, &form.TxtSogouCnt,
                                                 &form.TxtMsnCnt};
    for (std::size_t engine = 0; engine < counters.size(); ++engine) {
        EXPECT_EQ(testing::countRows(databasePath(), kTables[engine]),
                  std::stol(counters[engine]->Text()))
            << kTables[engine];
    }
}

TEST_F(AnalysisRun, AGzipDamagedInItsMiddleStopsTheRunKeepingTheChunksScannedBeforeIt) {
    chooseGeneratedLog(kThreeChunkBytes);
    // Cut in half, the log inflates to about its middle: into its second chunk.
    const std::string gz = (folder / "access.log.gz").string();
    testing::writeGzip(folder / "access.log", gz);
    stdfs::resize_file(gz, stdfs::file_size(gz) / 2);
    form.TxtrezOveFile.setText(gz);

    form.CmdAnalysis_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->subject, gz);
    EXPECT_EQ(platform.messages[0].prompt,
              messages::logUnreadable(*form.shownFailure(), messages::EarlierRecords::Kept));
    EXPECT_TRUE(platform.messages[0].prompt.ends_with("，分析已停止；之前的记录已保存"));
    EXPECT_EQ(form.lastRunOutcome(), RunStep::LogUnreadable);
    EXPECT_EQ(form.Label3.Caption(), "分析未完成");
    EXPECT_EQ(form.TxtFileName.Text(), "rezOve.000");
    EXPECT_FALSE(stdfs::exists(workFolder()));
    EXPECT_GT(std::stol(form.TxtBaiduCnt.Text()), 0);
    EXPECT_EQ(testing::countRows(databasePath(), "baidu"), std::stol(form.TxtBaiduCnt.Text()));
}

TEST_F(AnalysisRun, TheWorkFolderHoldsNoMoreThanTheChunksTheCutMayRunAhead) {
    // Two and a half times as many chunks as the cut may run ahead of the scan.
    const auto log = chooseGeneratedLog(split::kRunChunksAhead * 5 * split::kRunChunkBytes / 2);
    std::atomic<std::ptrdiff_t> mostFiles = 0;
    platform.fileWrites.beforeWrite = [&] {
        const auto files = std::distance(stdfs::directory_iterator(workFolder()), {});
        mostFiles.store(std::max(mostFiles.load(), files));
    };
    // The scan waits at the first chunk until the cut has gone as far as it may.
    platform.onYield = [&] {
        if (form.TxtFileName.Text() == "rezOve.000") {
            for (int step = 0; step < 2000 && mostFiles.load() < split::kRunChunksAhead; ++step) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    };

    form.CmdAnalysis_Click();

    EXPECT_TRUE(platform.messages.empty());
    expectCounters(log, 1);
    EXPECT_EQ(form.LstiisFile.ListCount(), split::kRunChunksAhead * 5 / 2);
    EXPECT_EQ(mostFiles.load(), split::kRunChunksAhead);
}

TEST_F(AnalysisRun, ClosingTheWindowWhileTheCutWaitsAheadEndsTheCutBeforeTheWorkFolderGoes) {
    chooseGeneratedLog(split::kRunChunksAhead * 5 * split::kRunChunkBytes / 2);
    const std::string lastAhead = split::chunkName(split::kRunChunksAhead - 1);
    platform.onYield = [&] {
        if (form.TxtFileName.Text() == "rezOve.001" && !form.stopRequested()) {
            // The cut has gone as far as it may: it waits for room when the window closes.
            for (int step = 0; step < 2000 && !stdfs::exists(workFolder() / lastAhead); ++step) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            form.requestStop();
        }
    };

    form.CmdAnalysis_Click();

    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form.lastRunOutcome(), RunStep::Stopped);
    EXPECT_EQ(form.LstiisFile.ListCount(), 2);
    // No chunk is cut after the work folder is removed.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(stdfs::exists(workFolder()));
    long stored = 0;
    for (const char* table : kTables) {
        stored += testing::countRows(databasePath(), table);
    }
    EXPECT_EQ(stored, std::stol(form.TxtBaiduCnt.Text()) + std::stol(form.TxtGoogleCnt.Text()) +
                          std::stol(form.TxtYahooCnt.Text()) + std::stol(form.TxtSogouCnt.Text()) +
                          std::stol(form.TxtMsnCnt.Text()));
}

TEST_F(AnalysisRun, AnArchiveOfTwoLogsIsAnalysedLogByLogInOneRun) {
    const auto log = chooseGeneratedLog(kThreeChunkBytes);
    const std::string bytes = folder.readFile("access.log");
    testing::writeZip(folder / "month.zip", {{"b.log", bytes}, {"a.log", bytes}});
    form.TxtrezOveFile.setText((folder / "month.zip").string());
    std::vector<std::string> progress;
    platform.onYield = [&] {
        if (progress.empty() || progress.back() != form.Label3.Caption()) {
            progress.push_back(form.Label3.Caption());
        }
    };

    form.CmdAnalysis_Click();

    expectCounters(log, 2);
    EXPECT_EQ(testing::countRows(databasePath(), "sogou"), 2 * log.crawlerLines[3]);
    const std::vector<std::string> oneLog{"正在分析第 1 个临时日志文件",
                                          "正在分析第 2 个临时日志文件",
                                          "正在分析第 3 个临时日志文件"};
    std::vector<std::string> expected{"准备中"};
    expected.insert(expected.end(), oneLog.begin(), oneLog.end());
    expected.insert(expected.end(), oneLog.begin(), oneLog.end());
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(form.Label3.Caption(), "分析完成");
    EXPECT_FALSE(stdfs::exists(workFolder()));
}

} // namespace
} // namespace trawlmeter
