#include "WindowTestSupport.h"

#include "ui/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <sqlite3.h>

#include <filesystem>

namespace trawlmeter::ui::testing {
namespace {

using trawlmeter::testing::FakePlatform;
using trawlmeter::testing::ShownMessage;
using trawlmeter::testing::TestFolder;

bool anyWindowOnScreen() {
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            return true;
        }
    }
    return false;
}

// Records each message together with whether a window was on the screen at that moment.
class RecordingMessageBox : public MessageBoxPort {
public:
    void showMessage(const std::string& prompt, int style, const std::string& title) override {
        shown.push_back({prompt, style, title});
        windowOnScreen.push_back(anyWindowOnScreen());
    }
    std::vector<ShownMessage> shown;
    std::vector<bool> windowOnScreen;
};

TEST(StartUp, MissingDatabaseMessageComesUpBeforeTheWindowAndAnalysisStaysOff) {
    TestFolder folder;
    FakePlatform platform;
    RecordingMessageBox messages;
    MainForm form(PlatformPorts{messages, platform, platform, platform, folder.str()});
    MainWindow window(form);
    window.loadAndShow();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt,
              "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下");
    EXPECT_EQ(messages.shown[0].title, "请重新运行程序");
    EXPECT_EQ(messages.shown[0].style, 0);
    EXPECT_FALSE(messages.windowOnScreen[0]);
    EXPECT_TRUE(window.isVisible());
    auto* analysis = widgetOf<QPushButton>(window, "CmdAnalysis");
    EXPECT_FALSE(analysis->isEnabled());
    // The focus goes to the next place of the order that can take it.
    auto* select = widgetOf<QPushButton>(window, "CmdSelectrezOve");
    EXPECT_EQ(window.focusWidget(), select);
}

TEST(MessageBox, IsModalWithThePromptTheTitleAndOnlyAnOkButton) {
    QtMessageBox port;
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitUntil([] { return QApplication::activeModalWidget() != nullptr; }));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "请重新运行程序");
        EXPECT_EQ(box->text(), "没有找到rezOve.mdb数据库文件");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        inspected = true;
        box->button(QMessageBox::Ok)->click();
    });
    port.showMessage("没有找到rezOve.mdb数据库文件", 0, "请重新运行程序");
    EXPECT_TRUE(inspected);
}

using Closing = ShownWindow;

TEST_F(Closing, UnloadsTheFormOnceWithoutAMessage) {
    ASSERT_NE(form->VisitDb, nullptr);
    int unloads = 0;
    QObject::connect(window.get(), &MainWindow::unloaded, [&] { ++unloads; });
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form->VisitDb, nullptr);
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Closing, DestroyingAWindowThatWasNeverClosedStillUnloadsTheForm) {
    ASSERT_NE(form->VisitDb, nullptr);
    window.reset();
    EXPECT_EQ(form->VisitDb, nullptr);
}

long long countRows(const std::filesystem::path& database, const char* table) {
    sqlite3* db = nullptr;
    long long rows = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            rows = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

TEST_F(Closing, DuringARunWaitsForTheRunToStopAndKeepsItsRecords) {
    writeCrawlerLog(folder / "ex080715.log", 5000, 1);
    form->TxtrezOveFile.setText((folder / "ex080715.log").string());

    bool closeAsked = false;
    bool stayedOpen = false;
    platform.onYield = [&] {
        if (!closeAsked && form->TxtBaiduCnt.Text() == "100") {
            closeAsked = true;
            window->close();
            stayedOpen = window->isVisible();
        }
    };
    int unloads = 0;
    bool runOverAtUnload = false;
    QObject::connect(window.get(), &MainWindow::unloaded, [&] {
        ++unloads;
        runOverAtUnload = !form->runInProgress();
    });
    widgetOf<QPushButton>(*window, "CmdAnalysis")->click();
    if (platform.yields == 0) {
        GTEST_SKIP() << "this build has no analysis run yet";
    }

    ASSERT_TRUE(closeAsked);
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(runOverAtUnload);
    EXPECT_EQ(form->VisitDb, nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder / "temp"));
    const long long stored = countRows(folder / "rezOve.mdb", "baidu");
    EXPECT_GE(stored, 100);
    EXPECT_LT(stored, 5000);
    EXPECT_EQ(std::to_string(stored), form->TxtBaiduCnt.Text());
    EXPECT_TRUE(platform.messages.empty());
}

} // namespace
} // namespace trawlmeter::ui::testing
