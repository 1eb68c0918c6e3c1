#include "support/TestFolder.h"
#include "support/VisitRecords.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <ostream>

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;

struct BatchResult {
    int status = -1;
    std::string out;
};

// Runs the built trawlmeter-batch with `arguments` (already quoted for the shell).
BatchResult runBatchProgram(const std::string& arguments) {
    const std::string command = std::string("'") + TRAWLMETER_PROGRAM_DIR + "/trawlmeter-batch' " +
                                arguments + " 2>/dev/null";
    BatchResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    while (const auto got = fread(buffer, 1, sizeof buffer, pipe)) {
        result.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const stdfs::path& path) {
    return "'" + path.string() + "'";
}

struct SampleLog {
    const char* file;
    const char* expected;
};

void PrintTo(const SampleLog& sample, std::ostream* out) { *out << sample.file; }

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
    EXPECT_NE(help.out.find("Usage: trawlmeter-batch"), std::string::npos);
    EXPECT_EQ(runBatchProgram("--frobnicate x.log").status, 2);
    EXPECT_EQ(runBatchProgram("").status, 2);
}

} // namespace
} // namespace trawlmeter
