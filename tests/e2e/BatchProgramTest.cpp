#include "support/GeneratedLog.h"
#include "support/TestFolder.h"
#include "support/VisitRecords.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <functional>
#include <thread>

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;

struct BatchResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const stdfs::path& path) {
    return "'" + path.string() + "'";
}

// The shell command that runs the built trawlmeter-batch with `arguments` (already quoted for
// the shell) in the folder `in`, its output and errors going to files in `outputs`.
std::string batchCommand(const std::string& arguments, const stdfs::path& outputs,
                         const stdfs::path& in = stdfs::current_path()) {
    return "cd " + quoted(in) + " && exec '" + std::string(TRAWLMETER_PROGRAM_DIR) +
           "/trawlmeter-batch' " + arguments + " >" + quoted(outputs / "out") + " 2>" +
           quoted(outputs / "err");
}

BatchResult resultOf(int status, const stdfs::path& outputs) {
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::readWholeFile(outputs / "out"),
            testing::readWholeFile(outputs / "err")};
}

BatchResult runBatchProgram(const std::string& arguments,
                            const stdfs::path& in = stdfs::current_path()) {
    const testing::TestFolder outputs;
    return resultOf(std::system(batchCommand(arguments, outputs.path(), in).c_str()),
                    outputs.path());
}

// The same, started without waiting: its process number.
pid_t startBatchProgram(const std::string& arguments, const stdfs::path& outputs) {
    const std::string command = batchCommand(arguments, outputs);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits until `done` holds, for a few seconds at most.
bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

std::string countersOf(const testing::GeneratedLog& log) {
    const char* names[] = {"Baidu", "Google", "Yahoo", "Sogou", "Msn"};
    std::string text;
    for (std::size_t engine = 0; engine < 5; ++engine) {
        text += std::string(names[engine]) + ": " + std::to_string(log.crawlerLines[engine]) + "\n";
    }
    return text + "All: " + std::to_string(log.lines) + "\n";
}

// A program folder with a fresh database and a generated log beside it.
struct BatchRun : ::testing::Test {
    BatchRun() { folder.createVisitDatabase(); }

    testing::GeneratedLog writeLog(const char* name, std::int64_t bytes) const {
        return testing::writeTestLog(folder / name, bytes);
    }
    std::string arguments(const std::string& logs) const {
        return "--folder " + quoted(folder.path()) + " " + logs;
    }
    long storedRecords() const {
        long total = 0;
        for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
            total += testing::countRows((folder / "rezOve.mdb").string(), table);
        }
        return total;
    }

    testing::TestFolder folder;
    testing::TestFolder outputs;
};

struct SampleLog {
    const char* file;
    const char* expected;
};

void PrintTo(const SampleLog& sample, std::ostream* out) {
    *out << sample.file;
}

class BatchOnSamples : public ::testing::TestWithParam<SampleLog> {};

TEST_P(BatchOnSamples, PrintsTheCountsOfTheSampleReadme) {
    const stdfs::path sample = stdfs::path(TRAWLMETER_SAMPLES_DIR) / GetParam().file;
    if (!stdfs::exists(sample)) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    testing::TestFolder folder;
    folder.createVisitDatabase();

    const auto result = runBatchProgram("--folder " + quoted(folder.path()) + " " + quoted(sample));

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, GetParam().expected);
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
}

INSTANTIATE_TEST_SUITE_P(
    RealLogs, BatchOnSamples,
    ::testing::Values(SampleLog{"plaso-iis6.log",
                                "Baidu: 0\nGoogle: 0\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 16\n"},
                      SampleLog{"waikolai-u_ex101228.log",
                                "Baidu: 11\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 58\n"},
                      SampleLog{"lnav-w3c-big.log",
                                "Baidu: 0\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 254\n"}),
    [](const ::testing::TestParamInfo<SampleLog>& info) {
        std::string name = stdfs::path(info.param.file).stem().string();
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(BatchProgram, StoresTheRecordsOfARealLogFieldByField) {
    const stdfs::path sample = stdfs::path(TRAWLMETER_SAMPLES_DIR) / "waikolai-u_ex101228.log";
    if (!stdfs::exists(sample)) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    testing::TestFolder folder;
    folder.createVisitDatabase();
    ASSERT_EQ(runBatchProgram("--folder " + quoted(folder.path()) + " " + quoted(sample)).status,
              0);

    const auto records = testing::readVisitRecords((folder / "rezOve.mdb").string(), "baidu");
    ASSERT_EQ(records.size(), 11u);
    const testing::VisitRecord first{"2010-12-28",
                                     "16:20:04",
                                     "W3SVC20",
                                     "67.222.136.138",
                                     "GET",
                                     "/",
                                     "-",
                                     "80",
                                     "-",
                                     "123.125.71.97",
                                     "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
                                     "200",
                                     "0",
                                     "0"};
    EXPECT_EQ(records[0], first);
}

TEST(BatchProgram, RefusesToRunWithoutADatabase) {
    testing::TestFolder folder;
    folder.writeFile("access.log", "2008-07-15 00:00:00 W3SVC1 ...\r\n");
    const auto result =
        runBatchProgram("--folder " + quoted(folder.path()) + " " + quoted(folder / "access.log"));
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(stdfs::exists(folder / "rezOve.mdb"));
}

TEST(BatchProgram, ReportsAMissingLogWithAFailingStatus) {
    testing::TestFolder folder;
    folder.createVisitDatabase();
    const auto result =
        runBatchProgram("--folder " + quoted(folder.path()) + " " + quoted(folder / "no-such.log"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Baidu: 0\nGoogle: 0\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 0\n");
}

TEST(BatchProgram, ExplainsItselfAndRejectsUnknownOptions) {
    const auto help = runBatchProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("trawlmeter-batch"), std::string::npos);
    EXPECT_NE(help.out.find("128+N"), std::string::npos);
    const auto unknown = runBatchProgram("--frobnicate x.log");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("--frobnicate"), std::string::npos);
    EXPECT_EQ(runBatchProgram("").status, 2);
}

TEST_F(BatchRun, TakesALogWhoseNameStartsWithADashAfterTheEndOfOptions) {
    const auto log = writeLog("-x.log", 20'000);
    const auto result = runBatchProgram(arguments("-- -x.log"), folder.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, countersOf(log));
}

TEST_F(BatchRun, ALogThatExistsButCannotBeReadSaysWhyAndExitsOne) {
    stdfs::create_directory(folder / "a-folder.log");
    const auto result = runBatchProgram(arguments(quoted(folder / "a-folder.log")));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("无法读取日志文件：" + (folder / "a-folder.log").string() +
                              "（Is a directory）"),
              std::string::npos)
        << result.err;
}

TEST_F(BatchRun, ALinkAsTheWorkFolderStopsTheRunAndWhatItPointsToSurvives) {
    stdfs::create_directory(folder / "elsewhere");
    folder.writeFile("elsewhere/rezOve.000", "msnbot line that is not ours\n");
    folder.writeFile("elsewhere/keep.txt", "keep");
    stdfs::create_directory_symlink(folder / "elsewhere", folder / "temp");
    writeLog("access.log", 20'000);

    const auto result = runBatchProgram(arguments(quoted(folder / "access.log")));

    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("工作文件夹不可用"), std::string::npos) << result.err;
    EXPECT_EQ(folder.readFile("elsewhere/rezOve.000"), "msnbot line that is not ours\n");
    EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "keep");
    EXPECT_TRUE(stdfs::is_symlink(folder / "temp"));
    EXPECT_EQ(storedRecords(), 0);
}

TEST_F(BatchRun, AStaleWriteProtectedChunkIsRemovedAndNotCounted) {
    stdfs::create_directory(folder / "temp");
    folder.writeFile("temp/rezOve.000", "msnbot left by a killed run\n");
    stdfs::permissions(folder / "temp/rezOve.000", stdfs::perms::owner_read);
    const auto log = writeLog("access.log", 20'000);

    const auto result = runBatchProgram(arguments(quoted(folder / "access.log")));

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, countersOf(log));
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
}

TEST_F(BatchRun, ASecondBatchOnTheSameFolderStopsAtOnceAndTheFirstCountsExactly) {
    const auto big = writeLog("big.log", 100'000'000);
    writeLog("small.log", 20'000);
    const pid_t first = startBatchProgram(arguments(quoted(folder / "big.log")), outputs.path());
    ASSERT_TRUE(eventually([&] { return stdfs::exists(folder / "temp/rezOve.001"); }));

    const auto second = runBatchProgram(arguments(quoted(folder / "small.log")));
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    const auto result = resultOf(status, outputs.path());

    EXPECT_EQ(second.status, 3);
    EXPECT_NE(second.err.find("另一个分析正在使用此程序文件夹"), std::string::npos) << second.err;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, countersOf(big));
    EXPECT_EQ(storedRecords(), big.crawlerLines[0] + big.crawlerLines[1] + big.crawlerLines[2] +
                                   big.crawlerLines[3] + big.crawlerLines[4]);
}

TEST_F(BatchRun, SigtermStopsTheRunWithWhatItReadStoredThenTheNextRunCountsExactly) {
    const auto big = writeLog("big.log", 100'000'000);
    const auto small = writeLog("small.log", 20'000);
    const pid_t first = startBatchProgram(arguments(quoted(folder / "big.log")), outputs.path());
    // The first chunk has been scanned and deleted: the run is in the middle of its scan.
    ASSERT_TRUE(eventually([&] {
        return stdfs::exists(folder / "temp/rezOve.001") &&
               !stdfs::exists(folder / "temp/rezOve.000");
    }));
    kill(first, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    const auto stopped = resultOf(status, outputs.path());

    EXPECT_EQ(stopped.status, 128 + SIGTERM);
    EXPECT_NE(stopped.err.find("SIGTERM"), std::string::npos) << stopped.err;
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
    const long storedBefore = storedRecords();
    EXPECT_GT(storedBefore, 0);
    EXPECT_NE(stopped.out, countersOf(big));
    EXPECT_NE(stopped.out.find("All: "), std::string::npos) << "the counters so far are printed";

    const auto next = runBatchProgram(arguments(quoted(folder / "small.log")));
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.out, countersOf(small));
    EXPECT_EQ(storedRecords() - storedBefore, small.crawlerLines[0] + small.crawlerLines[1] +
                                                  small.crawlerLines[2] + small.crawlerLines[3] +
                                                  small.crawlerLines[4]);
}

} // namespace
} // namespace trawlmeter
