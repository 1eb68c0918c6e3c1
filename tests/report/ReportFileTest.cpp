#include "VisitRows.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>

namespace trawlmeter {
namespace {

using report::ReportFormat;
using testing::kEngines;

struct ReportFile : ::testing::Test {
    ReportFile() {
        folder.createVisitDatabase();
        testing::addVisits(database, "sogou", {{"2024-05-01", "01:02:03", "/", "1.1.1.1", "200"}});
    }

    std::set<std::string> filesInFolder() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST(ReportFormatFor, TheEndingOfTheNameChoosesTheFormat) {
    EXPECT_EQ(report::reportFormatFor("/out/report.html"), ReportFormat::Html);
    EXPECT_EQ(report::reportFormatFor("REPORT.Html"), ReportFormat::Html);
    EXPECT_EQ(report::reportFormatFor("figures.json"), ReportFormat::Json);
    EXPECT_EQ(report::reportFormatFor("report.htm"), std::nullopt);
    EXPECT_EQ(report::reportFormatFor("report.html.txt"), std::nullopt);
    EXPECT_EQ(report::reportFormatFor("json"), std::nullopt);
    EXPECT_EQ(report::reportFormatFor(""), std::nullopt);
}

TEST_F(ReportFile, EachFormatReplacesAnEarlierReportAndLeavesNoTemporaryFile) {
    folder.writeFile("report.json", "an earlier report");
    auto written = report::writeReport(database, kEngines, (folder / "report.json").string());
    ASSERT_TRUE(written) << written.error();
    const auto document = nlohmann::json::parse(folder.readFile("report.json"));
    EXPECT_EQ(document["engines"][3]["visits"], 1);

    written = report::writeReport(database, kEngines, (folder / "REPORT.HTML").string());
    ASSERT_TRUE(written) << written.error();
    EXPECT_EQ(folder.readFile("REPORT.HTML").rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(filesInFolder(), (std::set<std::string>{"rezOve.mdb", "report.json", "REPORT.HTML"}));
}

TEST_F(ReportFile, AFailedWriteSaysWhyAndLeavesNothingBehind) {
    const std::string text = (folder / "report.txt").string();
    auto written = report::writeReport(database, kEngines, text);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), "the report file must end in .html or .json: " + text);

    const std::string nowhere = (folder / "missing/report.html").string();
    written = report::writeReport(database, kEngines, nowhere);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(),
              "cannot write the report " + nowhere + ": No such file or directory");

    // The rename is what fails here, after the whole report was written beside it.
    std::filesystem::create_directory(folder / "taken.html");
    const std::string taken = (folder / "taken.html").string();
    written = report::writeReport(database, kEngines, taken);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), "cannot write the report " + taken + ": Is a directory");

    written = report::writeReport((folder / "none.mdb").string(), kEngines,
                                  (folder / "report.html").string());
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().rfind("cannot read the visit database ", 0), 0u) << written.error();
    EXPECT_EQ(filesInFolder(), (std::set<std::string>{"rezOve.mdb", "taken.html"}));
}

} // namespace
} // namespace trawlmeter
