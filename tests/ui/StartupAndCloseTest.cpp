#include "WindowTestSupport.h"

#include "platform/StopSignals.h"
#include "ui/QtMessageBox.h"
#include "ui/StopSignalWatch.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>

namespace trawlmeter::ui::testing {
namespace {

// Records each message and whether any window was on the screen when it came up.
struct RecordingMessageBox : MessageBoxPort {
    void showMessage(const std::string& prompt, int style, const std::string& title) override {
        shown.push_back({prompt, style, title});
        const auto windows = QApplication::topLevelWidgets();
        windowOnScreen = std::any_of(windows.begin(), windows.end(),
                                     [](const QWidget* window) { return window->isVisible(); });
    }
    std::vector<trawlmeter::testing::ShownMessage> shown;
    bool windowOnScreen = false;
};

TEST(StartUp, MissingDatabaseMessageComesUpBeforeTheWindowAndAnalysisStaysOff) {
    TestFolder folder;
    FakePlatform platform;
    RecordingMessageBox messages;
    MainForm form(
        PlatformPorts{messages, platform, platform, platform, platform.fileWrites, folder.str()});
    MainWindow window(form);
    window.loadAndShow();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt,
              "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下");
    EXPECT_EQ(messages.shown[0].title, "请重新运行程序");
    EXPECT_EQ(messages.shown[0].style, 0);
    EXPECT_FALSE(messages.windowOnScreen);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(widgetOf(window, "CmdAnalysis")->isEnabled());
    EXPECT_EQ(window.focusWidget(), widgetOf(window, "CmdSelectrezOve"));
}

TEST(MessageBox, IsModalWithThePromptTheTitleAndOnlyAnOkButton) {
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "请重新运行程序");
        EXPECT_EQ(box->text(), "没有找到rezOve.mdb数据库文件");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        inspected = true;
        box->button(QMessageBox::Ok)->click();
    });
    QtMessageBox().showMessage("没有找到rezOve.mdb数据库文件", 0, "请重新运行程序");
    EXPECT_TRUE(inspected);
}

using Closing = ShownWindow;

TEST_F(Closing, UnloadsTheFormOnceWithoutAMessageAndSoDoesDestroyingTheWindow) {
    int unloads = 0;
    QObject::connect(window.get(), &MainWindow::unloaded, [&] { ++unloads; });
    ASSERT_NE(form->VisitDb, nullptr);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(form->VisitDb, nullptr);
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(platform.messages.empty());

    MainForm other(platform.ports(folder.str()));
    auto unclosed = std::make_unique<MainWindow>(other);
    unclosed->loadAndShow();
    ASSERT_NE(other.VisitDb, nullptr);
    unclosed.reset();
    EXPECT_EQ(other.VisitDb, nullptr);
}

struct ClosingARun : ShownWindow {
    ClosingARun() {
        std::string log = "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query "
                          "s-port cs-username c-ip cs(User-Agent) sc-status sc-substatus "
                          "sc-win32-status\n";
        for (int i = 0; i < 20000; ++i) {
            log += "2008-07-15 00:00:01 W3SVC1 10.0.0.1 GET /p" + std::to_string(i) +
                   " - 80 - 10.0.0.2 Baiduspider+(+http://www.baidu.com/search/spider.htm) 200 0 "
                   "0\n";
        }
        folder.writeFile("ex080715.log", log);
        form->TxtrezOveFile.setText((folder / "ex080715.log").string());
    }

    // The run ended early, the window closed and unloaded, its work folder removed.
    void expectStoppedAndClosed() const {
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(form->VisitDb, nullptr);
        EXPECT_FALSE(std::filesystem::exists(folder / "temp"));
        EXPECT_LT(std::stoll(form->TxtBaiduCnt.Text()), 20000) << "the run was not stopped";
        EXPECT_TRUE(platform.messages.empty());
    }
};

TEST_F(ClosingARun, StopsTheRunAndUnloadsOnlyOnceItHasReturned) {
    // Runs inside the run's yields, as the operator's close would.
    bool analysisShownDisabled = true;
    bool stayedOpen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        analysisShownDisabled =
            analysisShownDisabled && !widgetOf(*window, "CmdAnalysis")->isEnabled();
        if (widgetOf<QLineEdit>(*window, "TxtBaiduCnt")->text().toLongLong() >= 100) {
            closer.stop();
            window->close();
            stayedOpen = window->isVisible();
        }
    });
    bool runOverAtUnload = false;
    QObject::connect(window.get(), &MainWindow::unloaded,
                     [&] { runOverAtUnload = !form->runInProgress(); });
    closer.start(1);
    widgetOf<QPushButton>(*window, "CmdAnalysis")->click();
    EXPECT_FALSE(closer.isActive()) << "the run ended before the close came";

    EXPECT_TRUE(analysisShownDisabled);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(runOverAtUnload);
    expectStoppedAndClosed();
}

TEST_F(ClosingARun, ByAStopSignalEndsTheRunAsTheOperatorsCloseDoes) {
    StopSignals held;
    const StopSignalWatch watch(held, *window);
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&] {
        if (widgetOf<QLineEdit>(*window, "TxtBaiduCnt")->text().toLongLong() >= 100) {
            sender.stop();
            // To this thread, which holds it back as every thread of the program does.
            raise(SIGTERM);
        }
    });
    sender.start(1);
    widgetOf<QPushButton>(*window, "CmdAnalysis")->click();
    EXPECT_FALSE(sender.isActive()) << "the run ended before the signal came";

    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(watch.stopSignal(), SIGTERM);
    expectStoppedAndClosed();
}

TEST_F(Closing, ByAStopSignalWhileIdleClosesAnOpenDialogAndThenTheWindow) {
    StopSignals held;
    const StopSignalWatch watch(held, *window);
    QTimer::singleShot(0, [] { raise(SIGHUP); });
    QMessageBox box(QMessageBox::NoIcon, "提示", "...", QMessageBox::Ok, window.get());
    box.exec();

    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(watch.stopSignal(), SIGHUP);
    EXPECT_EQ(form->VisitDb, nullptr);
}

TEST_F(Closing, DuringAReportStopsTheReportAndUnloadsOnlyOnceItHasReturned) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "rezOve.mdb").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 200) INSERT INTO sogou (sdate, stime, csuristem, cip, "
                           "scstatus) SELECT '2024-05-01', '10:00:00', '/', '198.51.100.' || i, "
                           "'200' FROM n",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // Its questions are never answered: the report would wait for them a minute.
    const trawlmeter::testing::SilentDnsPort silent;
    form->setDnsServer(silent.server());
    QAction* report = nullptr;
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->text() == "查看爬虫报告") {
            report = action;
        }
    }
    ASSERT_NE(report, nullptr);

    bool stayedOpen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (widgetOf<QLabel>(*window, "Label3")->text().startsWith("正在验证爬虫地址")) {
            closer.stop();
            window->close();
            stayedOpen = window->isVisible();
        }
    });
    bool reportOverAtUnload = false;
    QObject::connect(window.get(), &MainWindow::unloaded,
                     [&] { reportOverAtUnload = !form->reportInProgress(); });
    closer.start(1);
    QElapsedTimer clock;
    clock.start();
    report->trigger();

    EXPECT_FALSE(closer.isActive()) << "the report ended before the close came";
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(reportOverAtUnload);
    EXPECT_EQ(form->VisitDb, nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder / "report.html"));
    EXPECT_TRUE(platform.openedUrls.empty());
    EXPECT_TRUE(platform.messages.empty());
}

} // namespace
} // namespace trawlmeter::ui::testing
