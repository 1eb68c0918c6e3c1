#include "VisitRows.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace trawlmeter {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> findBrowser() {
    const char* path = std::getenv("PATH");
    for (const char* name : {"chromium-headless-shell", "chromium"}) {
        std::string_view folders = path ? path : "/usr/bin";
        while (!folders.empty()) {
            const auto end = std::min(folders.find(':'), folders.size());
            const fs::path candidate = fs::path(folders.substr(0, end)) / name;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
            folders.remove_prefix(std::min(end + 1, folders.size()));
        }
    }
    return std::nullopt;
}

// A few hundred records spread over two weeks, the hours of the day, statuses, URLs and clients,
// more for some engines than others; Google skips a day.
void addVariedVisits(const std::string& database) {
    const int volumes[] = {150, 110, 40, 75, 30};
    const char* networks[] = {"220.181.108.", "66.249.66.", "72.30.14.", "123.126.113.",
                              "40.77.167."};
    std::uint32_t random = 12345;
    const auto next = [&random](std::uint32_t below) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % below;
    };
    for (std::size_t e = 0; e < testing::kEngines.size(); ++e) {
        std::vector<testing::Visit> visits;
        for (int i = 0; i < volumes[e]; ++i) {
            const unsigned day = 20 + std::min(next(14), next(14) + 3);
            if (e == 1 && day == 27) {
                continue;
            }
            const unsigned hour = (next(24) + next(24)) / 2;
            const std::uint32_t roll = next(20);
            const std::string status = roll < 14   ? "200"
                                       : roll < 16 ? "304"
                                       : roll < 17 ? "301"
                                       : roll < 19 ? "404"
                                                   : "500";
            char date[16];
            char time[16];
            std::snprintf(date, sizeof date, "2024-%s-%02u", day > 30 ? "05" : "04",
                          day > 30 ? day - 30 : day);
            std::snprintf(time, sizeof time, "%02u:%02u:%02u", hour, next(60), next(60));
            visits.push_back(
                {date, time,
                 "/news/2024/item" + std::to_string(std::min(next(40), next(40))) + ".html",
                 networks[e] + std::to_string(std::min(next(30), next(30))), status});
        }
        testing::addVisits(database, testing::kEngines[e].table, visits);
    }
    testing::addVisits(database, "baidu",
                       {{"2024-05-01", "09:00:00",
                         "/search/" + std::string(120, 'q') + "/长长的中文路径名称" + "<script>",
                         "220.181.108.1", "404"}});
}

TEST(ReportBrowser, AHeadlessBrowserDrawsTheReport) {
    const auto browser = findBrowser();
    if (!browser) {
        GTEST_SKIP() << "no chromium-headless-shell or chromium";
    }
    testing::TestFolder folder;
    folder.createVisitDatabase();
    const std::string database = (folder / "rezOve.mdb").string();
    addVariedVisits(database);
    const fs::path screenshots = TRAWLMETER_SCREENSHOT_DIR;
    fs::create_directories(screenshots);
    const fs::path page = screenshots / "report.html";
    const fs::path picture = screenshots / "report.png";
    fs::remove(picture);
    const auto written = report::writeReport(database, testing::kEngines, page.string());
    ASSERT_TRUE(written) << written.error();

    const std::string command =
        "timeout 120 '" + browser->string() +
        "' --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
        "--disable-component-update --disable-sync --hide-scrollbars --user-data-dir='" +
        (folder / "profile").string() + "' --screenshot='" + picture.string() +
        "' --window-size=1280,2400 'file://" + page.string() + "' >'" +
        (folder / "browser.log").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << folder.readFile("browser.log");
    ASSERT_TRUE(fs::exists(picture)) << folder.readFile("browser.log");
    EXPECT_GT(fs::file_size(picture), 20'000u);
}

} // namespace
} // namespace trawlmeter
