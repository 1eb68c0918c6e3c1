#include "WindowTestSupport.h"

#include "ui/ThrottledEventLoop.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

namespace trawlmeter::ui::testing {
namespace {

using trawlmeter::testing::FakePlatform;
using trawlmeter::testing::TestFolder;

// What the window showed at one moment inside a run.
struct Glimpse {
    bool analysisEnabled;
    QString status;
    long long lines;
};

// A window wired as the program wires it: yields go through the throttled event loop.
class AnalysisInTheWindow : public ::testing::Test {
protected:
    AnalysisInTheWindow() {
        folder.createVisitDatabase();
        window.loadAndShow();
        eventLoop.setRefresh([this] { window.refreshFromModel(); });
    }

    TestFolder folder;
    FakePlatform platform;
    ThrottledEventLoop eventLoop;
    MainForm form{PlatformPorts{platform, eventLoop, platform, platform, folder.str()}};
    MainWindow window{form};
};

TEST_F(AnalysisInTheWindow, StaysLiveDuringARunAndShowsTheCountsAtItsEnd) {
    // About 7 MB: several chunks and enough work for the window to be seen mid-run.
    const long crawlerLines = writeCrawlerLog(folder / "ex080715.log", 50000, 10);
    auto* path = widgetOf<QLineEdit>(window, "TxtrezOveFile");
    path->setText(QString::fromStdString((folder / "ex080715.log").string()));
    Q_EMIT path->textEdited(path->text());

    std::vector<Glimpse> glimpses;
    bool choseAnother = false;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        glimpses.push_back({widgetOf<QPushButton>(window, "CmdAnalysis")->isEnabled(),
                            widgetOf<QLabel>(window, "Label3")->text(),
                            widgetOf<QLineEdit>(window, "TxtLineCnt")->text().toLongLong()});
        // The log-selection button works while the run goes on. (Chosen before the split has
        // begun, the new log would be the one split.)
        if (!choseAnother && glimpses.back().status.startsWith("正在分析第 ")) {
            choseAnother = true;
            platform.dialogAnswers.push_back("/logs/another.log");
            widgetOf<QPushButton>(window, "CmdSelectrezOve")->click();
        }
    });
    watcher.start();
    widgetOf<QPushButton>(window, "CmdAnalysis")->click();
    watcher.stop();
    if (form.Label3.Caption() == "准备中") {
        GTEST_SKIP() << "this build has no analysis run yet";
    }

    ASSERT_FALSE(glimpses.empty()) << "the window was never refreshed during the run";
    for (const Glimpse& glimpse : glimpses) {
        EXPECT_FALSE(glimpse.analysisEnabled);
    }
    EXPECT_TRUE(glimpses.back().status.startsWith("正在分析第 "))
        << glimpses.back().status.toStdString();
    EXPECT_TRUE(choseAnother);
    EXPECT_EQ(path->text(), "/logs/another.log");

    EXPECT_EQ(widgetOf<QLabel>(window, "Label3")->text(), "分析完成");
    EXPECT_EQ(widgetOf<QLabel>(window, "Label2")->text(), "临时日志文件已删除");
    EXPECT_TRUE(widgetOf<QPushButton>(window, "CmdAnalysis")->isEnabled());
    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtBaiduCnt")->text(), QString::number(crawlerLines));
    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtLineCnt")->text(), QString::number(50001));
    EXPECT_FALSE(std::filesystem::exists(folder / "temp"));
    EXPECT_TRUE(platform.messages.empty());

    ASSERT_TRUE(QDir().mkpath(TRAWLMETER_SCREENSHOT_DIR));
    EXPECT_TRUE(window.grab().save(TRAWLMETER_SCREENSHOT_DIR "/main-window-after-run.png"));
}

} // namespace
} // namespace trawlmeter::ui::testing
