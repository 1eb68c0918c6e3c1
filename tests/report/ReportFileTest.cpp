#include "VisitRows.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace trawlmeter {
namespace {

using testing::kEngines;

struct ReportFile : ::testing::Test {
    ReportFile() {
        folder.createVisitDatabase();
        testing::addVisits(database, "sogou", {{"2024-05-01", "01:02:03", "/", "1.1.1.1", "200"}});
    }

    long entries() const {
        return std::distance(std::filesystem::directory_iterator(folder.path()), {});
    }

    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(ReportFile, EachFormatReplacesAnEarlierReportAndLeavesNoTemporaryFile) {
    folder.writeFile("report.json", "an earlier report");
    auto written = report::writeReport(database, kEngines, (folder / "report.json").string());
    ASSERT_TRUE(written) << written.error();
    const auto document = nlohmann::json::parse(folder.readFile("report.json"));
    EXPECT_EQ(document["engines"][3]["visits"], 1);

    // ASCII case is ignored in the ending.
    written = report::writeReport(database, kEngines, (folder / "REPORT.HTML").string());
    ASSERT_TRUE(written) << written.error();
    EXPECT_EQ(folder.readFile("REPORT.HTML").rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(entries(), 3) << "the database and two reports, no temporary file";
}

TEST_F(ReportFile, AFailedWriteSaysWhyAndLeavesNothingBehind) {
    const std::string text = (folder / "report.htm").string();
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
    EXPECT_EQ(entries(), 2) << "the database and the folder in the way, no temporary file";
}

} // namespace
} // namespace trawlmeter
