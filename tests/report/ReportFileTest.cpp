#include "VisitRows.h"
#include "platform/Problem.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <filesystem>

namespace trawlmeter {
namespace {

using testing::kEngines;

struct ReportFile : ::testing::Test {
    ReportFile() {
        folder.createVisitDatabase();
        testing::addVisits(database, "sogou", {{"2024-05-01", "01:02:03", "/", "1.1.1.1", "200"}});
    }

    std::ptrdiff_t entries() const {
        return std::distance(std::filesystem::directory_iterator(folder.path()), {});
    }

    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(ReportFile, EachFormatReplacesAnEarlierReportAndLeavesNoTemporaryFile) {
    folder.writeFile("report.json", "an earlier report");
    auto written = testing::writeReport(database, (folder / "report.json").string());
    ASSERT_TRUE(written) << written.error();
    const auto document = nlohmann::json::parse(folder.readFile("report.json"));
    EXPECT_EQ(document["engines"][3]["visits"], 1);

    // ASCII case is ignored in the ending.
    written = testing::writeReport(database, (folder / "REPORT.HTML").string());
    ASSERT_TRUE(written) << written.error();
    EXPECT_EQ(folder.readFile("REPORT.HTML").rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(entries(), 3) << "the database and two reports, no temporary file";
}

TEST_F(ReportFile, AFailedWriteSaysWhyAndLeavesNothingBehind) {
    const auto expectFailure = [](const Expected<void>& written, std::error_code code,
                                  const std::string& subject) {
        ASSERT_FALSE(written) << subject;
        EXPECT_EQ(written.error().code, code) << written.error();
        EXPECT_EQ(written.error().subject, subject);
    };
    const std::string text = (folder / "report.htm").string();
    expectFailure(testing::writeReport(database, text), Problem::NoReportFormat, text);

    const std::string nowhere = (folder / "missing/report.html").string();
    expectFailure(testing::writeReport(database, nowhere),
                  std::make_error_code(std::errc::no_such_file_or_directory), nowhere);

    // The rename is what fails here, after the whole report was written beside it.
    std::filesystem::create_directory(folder / "taken.html");
    const std::string taken = (folder / "taken.html").string();
    expectFailure(testing::writeReport(database, taken),
                  std::make_error_code(std::errc::is_a_directory), taken);

    const std::string none = (folder / "none.mdb").string();
    expectFailure(testing::writeReport(none, (folder / "report.html").string()),
                  sqliteError(SQLITE_CANTOPEN), none);
    EXPECT_EQ(entries(), 2) << "the database and the folder in the way, no temporary file";
}

} // namespace
} // namespace trawlmeter
