#include "ScanFixture.h"

#include <filesystem>

namespace trawlmeter::testing {
namespace {

struct SampleCounts {
    const char* file;
    const char* counters;
};

class SampleLog : public ScanFixture {
protected:
    // Copies a shared sample into the work folder; false when the samples are not there.
    bool copySample(const std::string& file) {
        const auto source = std::filesystem::path(TRAWLMETER_SAMPLES_DIR) / file;
        std::error_code error;
        std::filesystem::copy_file(source, folder / "temp" / file, error);
        return !error;
    }
};

TEST_F(SampleLog, EachSampleScannedAsOneChunkGivesItsListedCounts) {
    const SampleCounts samples[] = {
        {"plaso-iis6.log", "0 0 0 0 0 / 16"},
        {"waikolai-u_ex101228.log", "11 2 0 0 0 / 58"},
        {"lnav-w3c-big.log", "0 2 0 0 0 / 254"},
    };
    for (const auto& sample : samples) {
        if (!copySample(sample.file)) {
            GTEST_SKIP() << "no samples at " << TRAWLMETER_SAMPLES_DIR;
        }
        for (auto* box : {&form->TxtBaiduCnt, &form->TxtGoogleCnt, &form->TxtYahooCnt,
                          &form->TxtSogouCnt, &form->TxtMsnCnt, &form->TxtLineCnt}) {
            box->setText("0");
        }
        EXPECT_EQ(form->ScanLogChunk(sample.file), RunStep::Done);
        EXPECT_EQ(counters(), sample.counters) << sample.file;
    }
}

TEST_F(SampleLog, StoresTheFirstBaiduVisitOfWaikolaiFieldByField) {
    if (!copySample("waikolai-u_ex101228.log")) {
        GTEST_SKIP() << "no samples at " << TRAWLMETER_SAMPLES_DIR;
    }
    EXPECT_EQ(form->ScanLogChunk("waikolai-u_ex101228.log"), RunStep::Done);
    const auto stored = visits("baidu");
    ASSERT_EQ(stored.size(), 11u);
    const Visit expected{{"sdate", "2010-12-28"},
                         {"stime", "16:20:04"},
                         {"sitename", "W3SVC20"},
                         {"sip", "67.222.136.138"},
                         {"csmethod", "GET"},
                         {"csuristem", "/"},
                         {"csuriquery", "-"},
                         {"sport", "80"},
                         {"csusername", "-"},
                         {"cip", "123.125.71.97"},
                         {"UserAgent", "Baiduspider+(+http://www.baidu.com/search/spider.htm)"},
                         {"scstatus", "200"},
                         {"scsubstatus", "0"},
                         {"scwin32status", "0"}};
    EXPECT_EQ(stored[0], expected);
}

TEST_F(SampleLog, StoresLnavGooglebotVisitsWithTheirFieldsInTheirColumns) {
    if (!copySample("lnav-w3c-big.log")) {
        GTEST_SKIP() << "no samples at " << TRAWLMETER_SAMPLES_DIR;
    }
    EXPECT_EQ(form->ScanLogChunk("lnav-w3c-big.log"), RunStep::Done);
    const auto stored = visits("google");
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].at("cip"), "66.249.78.6");
    EXPECT_EQ(stored[0].at("UserAgent"),
              "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)");
    EXPECT_EQ(stored[1].at("cip"), "66.249.64.36");
    EXPECT_EQ(stored[1].at("UserAgent"),
              "Mozilla/5.0+AppleWebKit/537.36+(KHTML,+like+Gecko;+Google+Web+Preview+Analytics)+"
              "Chrome/27.0.1453+Safari/537.36+(compatible;+Googlebot/2.1;++http://www.google.com/"
              "bot.html)");
    EXPECT_EQ(stored[1].at("scstatus"), "404");
    EXPECT_EQ(stored[1].count("sitename"), 0u);
}

} // namespace
} // namespace trawlmeter::testing
