#include "support/ArchiveWriter.h"
#include "support/DnsmasqServer.h"
#include "support/GeneratedLog.h"
#include "support/TestFolder.h"
#include "support/VisitRecords.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

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

// Runs the built trawlmeter-batch with `arguments`, its standard output on `out` and its
// errors on `err`, in a child that `prepare` sets up (a limit) and that has SIGPIPE and SIGXFSZ
// at their defaults, as a shell leaves them. The status it exited with; -1 when a signal
// killed it.
int runBatchOn(
    const std::vector<std::string>& arguments, int out, int err,
    const std::function<void()>& prepare = [] {}) {
    const std::string program = std::string(TRAWLMETER_PROGRAM_DIR) + "/trawlmeter-batch";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        prepare();
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    return text + "All: " + std::to_string(log.lines) + "\nOther crawlers: 0\n";
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
    ::testing::Values(
        SampleLog{"plaso-iis6.log",
                  "Baidu: 0\nGoogle: 0\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 16\nOther crawlers: 0\n"},
        SampleLog{"waikolai-u_ex101228.log",
                  "Baidu: 11\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 58\nOther crawlers: 1\n"},
        SampleLog{
            "lnav-w3c-big.log",
            "Baidu: 0\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 254\nOther crawlers: 11\n"}),
    [](const ::testing::TestParamInfo<SampleLog>& sample) {
        std::string name = stdfs::path(sample.param.file).stem().string();
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
    folder.writeFile("there.log", "msnbot\n");
    const auto result =
        runBatchProgram("--folder " + quoted(folder.path()) + " " + quoted(folder / "no-such.log") +
                        " " + quoted(folder / "there.log"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "Baidu: 0\nGoogle: 0\nYahoo: 0\nSogou: 0\nMsn: 1\nAll: 1\nOther crawlers: 0\n");
    EXPECT_NE(result.err.find("日志文件不存在：" + (folder / "no-such.log").string()),
              std::string::npos)
        << result.err;
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
    ASSERT_EQ(mkfifo((folder / "a-fifo.log").c_str(), 0600), 0);
    const auto result = runBatchProgram(arguments(quoted(folder / "a-fifo.log")));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("无法读取日志文件：" + (folder / "a-fifo.log").string() +
                              "（不是普通文件）"),
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

TEST_F(BatchRun, ALogNamedInsideTheWorkFolderRefusesTheBatchAndNothingThereIsDeleted) {
    writeLog("access.log", 20'000);
    stdfs::create_directories(folder / "temp/sub");
    folder.writeFile("temp/mine.log", "msnbot mine\n");
    folder.writeFile("temp/sub/other.log", "msnbot other\n");
    folder.writeFile("temp/rezOve.000", "left by a killed run\n");
    stdfs::create_directory_symlink(folder.path(), folder / "above");
    stdfs::create_directory(folder / "links");
    stdfs::create_symlink(folder / "temp/sub/other.log", folder / "links/linked.log");
    // Relative to the folder the batch runs in, through "..", through a link to a folder above
    // the work folder, the work folder itself or one inside it, and a link to a log inside it
    // among the logs of an ordinary folder.
    const std::string spellings[] = {"temp/mine.log",
                                     "sub/../temp/./mine.log",
                                     quoted(folder / "above/temp/sub/other.log"),
                                     "temp/",
                                     quoted(folder / "above/temp/sub"),
                                     "links"};
    for (const auto& spelling : spellings) {
        const auto result = runBatchProgram(arguments("access.log " + spelling), folder.path());
        EXPECT_EQ(result.status, 2) << spelling;
        EXPECT_NE(result.err.find("日志位于工作文件夹中"), std::string::npos) << result.err;
        EXPECT_EQ(folder.readFile("temp/mine.log"), "msnbot mine\n");
        EXPECT_EQ(folder.readFile("temp/sub/other.log"), "msnbot other\n");
        EXPECT_EQ(folder.readFile("temp/rezOve.000"), "left by a killed run\n");
        EXPECT_EQ(storedRecords(), 0) << spelling;
    }
}

TEST_F(BatchRun, AProgramFolderDeeperThanSqlitesPathLimitStillTakesItsRecords) {
    stdfs::path deep = folder.path();
    while (deep.native().size() < 600) {
        deep /= std::string(60, 'd');
    }
    stdfs::create_directories(deep);
    stdfs::copy_file(folder / "rezOve.mdb", deep / "rezOve.mdb");
    const auto log = writeLog("access.log", 50'000);

    const auto result =
        runBatchProgram("--folder " + quoted(deep) + " " + quoted(folder / "access.log"));

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, countersOf(log));
    EXPECT_FALSE(stdfs::exists(deep / "temp"));
    // Read back where SQLite's own path limit does not reach.
    stdfs::copy_file(deep / "rezOve.mdb", folder / "copy.mdb");
    EXPECT_EQ(testing::countRows((folder / "copy.mdb").string(), "msn"), log.crawlerLines[4]);
    EXPECT_FALSE(stdfs::exists(deep / "rezOve.mdb-wal"));
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
    // The first chunk has been cut, then scanned and deleted while the work folder is still
    // there: the run is in the middle of its scan. Each step holds until the run ends, so a
    // poll that comes late on a busy machine still sees it.
    ASSERT_TRUE(eventually([&] { return stdfs::exists(folder / "temp/rezOve.000"); }));
    ASSERT_TRUE(eventually([&] {
        return !stdfs::exists(folder / "temp/rezOve.000") && stdfs::exists(folder / "temp");
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

TEST_F(BatchRun, APipeWhoseReaderHasGoneStopsTheBatchCleanlyWithAFailingStatus) {
    const auto first = writeLog("first.log", 300'000);
    writeLog("second.log", 300'000);
    // Both streams into a pipe nobody reads, as `2>&1 | head -c 5` leaves them once head has
    // its bytes: the message about the missing log is the first write.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const int status =
        runBatchOn({"--folder", folder.str(), (folder / "first.log").string(),
                    (folder / "missing.log").string(), (folder / "second.log").string()},
                   ends[1], ends[1]);
    close(ends[1]);

    EXPECT_EQ(status, 3);
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
    EXPECT_FALSE(stdfs::exists(folder / "rezOve.mdb-wal")) << "the database was closed";
    EXPECT_EQ(storedRecords(), first.crawlerLines[0] + first.crawlerLines[1] +
                                   first.crawlerLines[2] + first.crawlerLines[3] +
                                   first.crawlerLines[4])
        << "the first log stored, the second not begun";
}

TEST_F(BatchRun, TheFileSizeLimitStopsTheRunWithItsReasonAndCleansUp) {
    writeLog("access.log", 5'000'000);
    const testing::TestFolder streams;
    const auto write = [&](const char* name) {
        return open((streams / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    };
    const int out = write("out");
    const int err = write("err");
    // A chunk is 2 MiB; the limit lets the split write half of one.
    const int status =
        runBatchOn({"--folder", folder.str(), (folder / "access.log").string()}, out, err, [] {
            const rlimit limit{1 << 20, 1 << 20};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    close(out);
    close(err);

    EXPECT_EQ(status, 3);
    const std::string said = testing::readWholeFile(streams / "err");
    EXPECT_NE(said.find("切分日志文件失败"), std::string::npos) << said;
    EXPECT_NE(said.find(std::make_error_code(std::errc::file_too_large).message()),
              std::string::npos)
        << said;
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
    EXPECT_EQ(storedRecords(), 0);
}

// Daily logs as operators keep them: two logs, the first without a final line end, beside a
// file that is no log and a folder named like one.
struct DailyLogs : BatchRun {
    DailyLogs() {
        stdfs::create_directories(folder / "logs/old.log");
        folder.writeFile("logs/notes.txt", "msnbot is no log line\n");
        first = writeLog("logs/u_ex080715.log", 300'000);
        stdfs::resize_file(folder / "logs/u_ex080715.log",
                           stdfs::file_size(folder / "logs/u_ex080715.log") - 1);
        second = writeLog("logs/u_ex080716.LOG", 200'000);
        expected = "Baidu: " + std::to_string(first.crawlerLines[0] + second.crawlerLines[0]);
    }

    // Every stored visit of every engine table of the database in `program`, in order.
    static std::vector<testing::VisitRecord> recordsIn(const stdfs::path& program) {
        std::vector<testing::VisitRecord> records;
        for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
            auto some = testing::readVisitRecords((program / "rezOve.mdb").string(), table);
            records.insert(records.end(), some.begin(), some.end());
        }
        return records;
    }

    testing::GeneratedLog first;
    testing::GeneratedLog second;
    std::string expected;
};

TEST_F(DailyLogs, CompressedLogsAndArchivesGiveTheCountersAndRecordsOfThePlainLogs) {
    const auto plain = runBatchProgram(arguments(quoted(folder / "logs")));
    ASSERT_EQ(plain.status, 0) << plain.err;
    // Each log ends its own lines: the first one's last line is not joined to the second's.
    EXPECT_NE(plain.out.find("All: " + std::to_string(first.lines + second.lines) + "\n"),
              std::string::npos)
        << plain.out;
    EXPECT_EQ(plain.out.rfind(expected, 0), 0u) << plain.out;
    const auto plainRecords = recordsIn(folder.path());

    const stdfs::path one = folder / "logs/u_ex080715.log";
    const stdfs::path two = folder / "logs/u_ex080716.LOG";
    testing::writeZip(folder / "month.zip", {{"u_ex080716.log", testing::readWholeFile(two)},
                                             {"readme.txt", "msnbot"},
                                             {"u_ex080715.log", testing::readWholeFile(one)}});
    const std::pair<std::string, std::string> variants[] = {
        {"gzip", "gzip -c " + quoted(one) + " >" + quoted(folder / "a.gz") + " && gzip -c " +
                     quoted(two) + " >" + quoted(folder / "b.GZ")},
        {"xz", "xz -c " + quoted(one) + " >" + quoted(folder / "a.xz") + " && xz -c " +
                   quoted(two) + " >" + quoted(folder / "b.xz")},
        {"zip", "true"}};
    const std::string logsOf[] = {quoted(folder / "a.gz") + " " + quoted(folder / "b.GZ"),
                                  quoted(folder / "a.xz") + " " + quoted(folder / "b.xz"),
                                  quoted(folder / "month.zip")};
    for (std::size_t variant = 0; variant < std::size(variants); ++variant) {
        SCOPED_TRACE(variants[variant].first);
        ASSERT_EQ(std::system(variants[variant].second.c_str()), 0);
        testing::TestFolder program;
        program.createVisitDatabase();
        const auto result =
            runBatchProgram("--folder " + quoted(program.path()) + " " + logsOf[variant]);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, plain.out);
        EXPECT_EQ(recordsIn(program.path()), plainRecords);
        EXPECT_FALSE(stdfs::exists(program / "temp"));
    }
}

TEST_F(DailyLogs, ACorruptGzipAmongGoodLogsIsReportedAndNothingOfItCounted) {
    const std::string log = folder.readFile("logs/u_ex080715.log");
    ASSERT_EQ(std::system(("gzip -c " + quoted(folder / "logs/u_ex080715.log") + " >" +
                           quoted(folder / "bad.gz"))
                              .c_str()),
              0);
    std::string gzip = folder.readFile("bad.gz");
    gzip[gzip.size() / 2] ^= 0x55;
    folder.writeFile("bad.gz", gzip);

    const auto result = runBatchProgram(arguments(quoted(folder / "logs/u_ex080716.LOG") + " " +
                                                  quoted(folder / "bad.gz") + " " +
                                                  quoted(folder / "logs/u_ex080716.LOG")));

    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("无法读取日志文件：" + (folder / "bad.gz").string()),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("All: " + std::to_string(2 * second.lines) + "\n"), std::string::npos)
        << result.out;
}

TEST_F(DailyLogs, AnArchiveMemberNamedOutsideIsReadAsALogAndNeverBecomesAPath) {
    stdfs::create_directories(folder / "deep/er");
    testing::writeZip(folder / "deep/er/odd.zip", {{"../../x.log", "msnbot ../../x.log\n"},
                                                   {"/tmp/y.log", "msnbot /tmp/y.log\n"}});
    const auto result = runBatchProgram(arguments(quoted(folder / "deep/er/odd.zip")));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Msn: 2\n"), std::string::npos) << result.out;
    EXPECT_FALSE(stdfs::exists(folder / "x.log"));
    EXPECT_FALSE(stdfs::exists(folder / "deep/x.log"));
    EXPECT_FALSE(stdfs::exists("/tmp/y.log"));
}

TEST_F(BatchRun, AFolderWithoutALogIsReported) {
    stdfs::create_directory(folder / "empty");
    folder.writeFile("empty/readme.txt", "");
    const auto result = runBatchProgram(arguments(quoted(folder / "empty")));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("（其中没有.log文件）"), std::string::npos) << result.err;
}

TEST_F(BatchRun, WritesTheReportAfterTheLogsAndTakesOnlyHtmlOrJson) {
    const auto log = writeLog("access.log", 50'000);
    // A DNS server that is not there: the report says so and comes all the same.
    const dns::ServerAddress nowhere = testing::closedDnsPort();
    const std::string dnsServer = " --dns-server 127.0.0.1:" + std::to_string(nowhere.port) + " ";
    const auto analysed = runBatchProgram(arguments("--report " + quoted(folder / "r.json") +
                                                    dnsServer + quoted(folder / "access.log")));
    EXPECT_EQ(analysed.status, 0) << analysed.err;
    EXPECT_EQ(analysed.out, countersOf(log));
    const std::string json = folder.readFile("r.json");
    EXPECT_NE(json.find("\"visits\": " + std::to_string(log.crawlerLines[0])), std::string::npos);
    EXPECT_NE(json.find("\"dns_unavailable\": true"), std::string::npos);

    // A DNS server that is no address, or one without a report to ask it for.
    for (const char* wrong :
         {"--dns-server dns.example --report r.html",
          "--dns-server 127.0.0.1:99999 --report r.html", "--dns-server 127.0.0.1"}) {
        const auto refused = runBatchProgram(arguments(wrong));
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_NE(refused.err.find("--dns-server"), std::string::npos) << refused.err;
    }

    // Without a log only the report is written; nothing is printed.
    const auto alone =
        runBatchProgram(arguments("--report " + quoted(folder / "r.html") + dnsServer));
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out, "");
    EXPECT_NE(folder.readFile("r.html").find("<svg"), std::string::npos);

    EXPECT_EQ(runBatchProgram(arguments("--report " + quoted(folder / "r.txt"))).status, 2);
    testing::TestFolder empty;
    EXPECT_EQ(runBatchProgram("--folder " + quoted(empty.path()) + " --report " +
                              quoted(empty / "r.html"))
                  .status,
              2);
    EXPECT_FALSE(stdfs::exists(empty / "r.html"));
}

// Crawler lines as IIS writes them, from addresses whose DNS the fixture server knows: the
// report verifies them through the server --dns-server names.
TEST_F(BatchRun, TheReportCountsEachEnginesVisitsByVerdictAsTheDnsServerNamedAnswers) {
    testing::DnsRecords records;
    records.localDomains = {"in-addr.arpa", "ip6.arpa", "baidu.com", "googlebot.com", "example"};
    records.hosts = {{"baiduspider-220-181-108-75.crawl.baidu.com", "220.181.108.75"},
                     {"crawl-ipv6.googlebot.com", "2001:db8::c1"}};
    records.ptr = {{"203.0.113.10", "crawl-203-0-113-10.googlebot.com.evil.example"}};
    const testing::DnsmasqServer server(records);
    const char* googlebot =
        "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)";
    const char* baiduspider = "Baiduspider+(+http://www.baidu.com/search/spider.htm)";
    const char* msnbot = "msnbot/2.0b+(+http://search.msn.com/msnbot.htm)";
    std::string log = "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query "
                      "s-port cs-username c-ip cs(User-Agent) sc-status sc-substatus "
                      "sc-win32-status\n";
    for (const auto& [client, agent, times] :
         std::vector<std::tuple<std::string, const char*, int>>{
             {"66.249.66.1", googlebot, 3},  // in Google's ranges
             {"203.0.113.10", googlebot, 2}, // a host under googlebot.com.evil.example
             {"203.0.113.12", googlebot, 1}, // no host
             {"220.181.108.75", baiduspider, 2},
             {"2001:db8::c1", baiduspider, 1}, // Google's host, not Baidu's
             {"157.55.39.1", msnbot, 1},       // in Bing's ranges
         }) {
        for (int i = 0; i < times; ++i) {
            log += "2008-07-15 00:00:0" + std::to_string(i) + " W3SVC1 10.0.0.1 GET /p - 80 - " +
                   client + " " + agent + " 200 0 0\n";
        }
    }
    folder.writeFile("ex080715.log", log);

    const auto result =
        runBatchProgram(arguments("--report " + quoted(folder / "r.json") +
                                  " --dns-server 127.0.0.1:" + std::to_string(server.port()) + " " +
                                  quoted(folder / "ex080715.log")));
    ASSERT_EQ(result.status, 0) << result.err;

    const auto engines = nlohmann::ordered_json::parse(folder.readFile("r.json"))["engines"];
    const auto verdicts = [&](std::size_t engine) {
        return engines[engine]["verification"].dump() + " " + engines[engine]["impostors"].dump();
    };
    EXPECT_EQ(verdicts(0),
              R"({"verified":2,"impostor":1,"unknown":0} )"
              R"([{"client":"2001:db8::c1","visits":1,"host":"crawl-ipv6.googlebot.com"}])");
    EXPECT_EQ(verdicts(1), R"({"verified":3,"impostor":3,"unknown":0} )"
                           R"([{"client":"203.0.113.10","visits":2,)"
                           R"("host":"crawl-203-0-113-10.googlebot.com.evil.example"},)"
                           R"({"client":"203.0.113.12","visits":1,"host":null}])");
    EXPECT_EQ(verdicts(4), R"({"verified":1,"impostor":0,"unknown":0} [])");
}

} // namespace
} // namespace trawlmeter
