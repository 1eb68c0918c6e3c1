#include "WindowTestSupport.h"

#include "support/GeneratedLog.h"
#include "support/VisitRecords.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <set>

namespace trawlmeter::ui::testing {
namespace {

using AnalysisInTheWindow = ShownWindow;

TEST_F(AnalysisInTheWindow, CountsLiveAndEndsWithEveryCrawlerLineStored) {
    const auto log = trawlmeter::testing::writeTestLog(folder / "ex080715.log", 5'000'000);
    form->TxtrezOveFile.setText((folder / "ex080715.log").string());
    window->refreshFromModel();

    // Samples what the operator sees while the run goes on.
    std::set<QString> linesShown;
    std::set<QString> progressShown;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        linesShown.insert(widgetOf<QLineEdit>(*window, "TxtLineCnt")->text());
        progressShown.insert(widgetOf<QLabel>(*window, "Label3")->text());
    });
    watcher.start(1);
    widgetOf<QPushButton>(*window, "CmdAnalysis")->click();
    watcher.stop();

    EXPECT_GT(linesShown.size(), 3u) << "the counters did not climb on screen";
    EXPECT_TRUE(progressShown.count("正在分析第 2 个临时日志文件"));
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label3")->text(), "分析完成");
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label2")->text(), "临时日志文件已删除");
    EXPECT_EQ(widgetOf<QLineEdit>(*window, "TxtLineCnt")->text(), QString::number(log.lines));
    EXPECT_EQ(widgetOf<QLineEdit>(*window, "TxtGoogleCnt")->text(),
              QString::number(log.crawlerLines[1]));
    EXPECT_TRUE(widgetOf<QPushButton>(*window, "CmdAnalysis")->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(folder / "temp"));
    const auto database = (folder / "rezOve.mdb").string();
    EXPECT_EQ(trawlmeter::testing::countRows(database, "baidu"), log.crawlerLines[0]);
    EXPECT_EQ(trawlmeter::testing::countRows(database, "google"), log.crawlerLines[1]);
    EXPECT_TRUE(platform.messages.empty());

    std::filesystem::create_directories(TRAWLMETER_SCREENSHOT_DIR);
    EXPECT_TRUE(window->grab().save(TRAWLMETER_SCREENSHOT_DIR "/analysis-finished.png"));
}

} // namespace
} // namespace trawlmeter::ui::testing
