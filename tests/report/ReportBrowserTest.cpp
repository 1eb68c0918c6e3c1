#include "VisitRows.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace trawlmeter {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 2> kBrowsers{"/usr/bin/chromium-headless-shell",
                                               "/usr/bin/chromium"};

// A few hundred records over two weeks, more at midday, of several statuses, URLs and clients,
// more for some engines than others; Google skips a day.
void addVariedVisits(const std::string& database) {
    const int volumes[] = {150, 110, 40, 75, 30};
    const char* statuses[] = {"200", "200", "200", "200", "200", "200", "304", "301", "404", "500"};
    std::uint32_t random = 12345;
    const auto next = [&random](std::uint32_t below) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % below;
    };
    for (std::size_t e = 0; e < testing::kEngines.size(); ++e) {
        std::vector<testing::Visit> visits;
        for (int i = 0; i < volumes[e]; ++i) {
            const unsigned day = 1 + std::min(next(14), next(14) + 3);
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "2024-05-%02u %02u:%02u:00", day,
                          (next(24) + next(24)) / 2, next(60));
            if (e != 1 || day != 8) {
                visits.push_back({std::string(stamp, 10), std::string(stamp + 11),
                                  "/news/item" + std::to_string(std::min(next(40), next(40))),
                                  "10.0." + std::to_string(e) + "." + std::to_string(next(30)),
                                  statuses[next(10)]});
            }
        }
        testing::addVisits(database, std::string(testing::kEngines[e].table), visits);
    }
    testing::addVisits(database, "baidu",
                       {{"2024-05-01", "09:00:00", "/search/" + std::string(120, 'q') + "/中文<b>",
                         "10.0.0.1", "404"}});
}

TEST(ReportBrowser, AHeadlessBrowserDrawsTheReport) {
    const auto browser = std::find_if(kBrowsers.begin(), kBrowsers.end(),
                                      [](const char* path) { return ::access(path, X_OK) == 0; });
    if (browser == kBrowsers.end()) {
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
    const auto written = testing::writeReport(database, page.string());
    ASSERT_TRUE(written) << written.error();

    const std::string command =
        "timeout 120 '" + std::string(*browser) +
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
