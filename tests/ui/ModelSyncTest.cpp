#include "WindowTestSupport.h"

#include "ui/ThrottledEventLoop.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace trawlmeter::ui::testing {
namespace {

using trawlmeter::testing::FakePlatform;
using trawlmeter::testing::TestFolder;

// A window whose yields go through the real event loop and refresh it.
class LiveWindow : public ::testing::Test {
protected:
    LiveWindow() {
        folder.createVisitDatabase();
        window.loadAndShow();
        eventLoop.setRefresh([this] { window.refreshFromModel(); });
        EXPECT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }

    void type(QWidget& widget, const QString& text) {
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
            QApplication::sendEvent(&widget, &press);
            QApplication::sendEvent(&widget, &release);
        }
    }

    TestFolder folder;
    FakePlatform platform;
    ThrottledEventLoop eventLoop{std::chrono::milliseconds(0)};
    MainForm form{PlatformPorts{platform, eventLoop, platform, platform, folder.str()}};
    MainWindow window{form};
};

TEST_F(LiveWindow, AYieldShowsWhatTheProgramWroteIntoTheControls) {
    form.TxtBaiduCnt.setText("42");
    form.TxtLineCnt.setText("1234567");
    form.Label3.setCaption("正在分析第 3 个临时日志文件");
    form.CmdAnalysis.setEnabled(false);
    form.TxtrezOveFile.setText("/logs/ex080715.log");
    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtBaiduCnt")->text(), "0");

    eventLoop.yieldToEvents();

    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtBaiduCnt")->text(), "42");
    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtLineCnt")->text(), "1234567");
    EXPECT_EQ(widgetOf<QLabel>(window, "Label3")->text(), "正在分析第 3 个临时日志文件");
    EXPECT_FALSE(widgetOf<QPushButton>(window, "CmdAnalysis")->isEnabled());
    EXPECT_EQ(widgetOf<QLineEdit>(window, "TxtrezOveFile")->text(), "/logs/ex080715.log");
}

TEST(ThrottledEventLoop, HandlesPendingEventsAtMostOncePerInterval) {
    int refreshes = 0;
    ThrottledEventLoop slow(std::chrono::hours(1));
    slow.setRefresh([&] { ++refreshes; });
    bool first = false;
    QMetaObject::invokeMethod(
        qApp, [&] { first = true; }, Qt::QueuedConnection);
    slow.yieldToEvents();
    EXPECT_TRUE(first);
    EXPECT_EQ(refreshes, 2);

    bool second = false;
    QMetaObject::invokeMethod(
        qApp, [&] { second = true; }, Qt::QueuedConnection);
    for (int i = 0; i < 1000; ++i) {
        slow.yieldToEvents();
    }
    EXPECT_FALSE(second);
    EXPECT_EQ(refreshes, 2);

    ThrottledEventLoop eager(std::chrono::milliseconds(0));
    eager.yieldToEvents();
    EXPECT_TRUE(second);
}

TEST_F(LiveWindow, TypingInThePathBoxGoesIntoTheModel) {
    auto* path = widgetOf<QLineEdit>(window, "TxtrezOveFile");
    path->setFocus();
    type(*path, "/日志/ex080715.log");
    EXPECT_EQ(form.TxtrezOveFile.Text(), "/日志/ex080715.log");
    eventLoop.yieldToEvents();
    EXPECT_EQ(path->text(), "/日志/ex080715.log");
    EXPECT_EQ(path->cursorPosition(), path->text().size());
}

TEST_F(LiveWindow, CountersTakeNoTyping) {
    auto* counter = widgetOf<QLineEdit>(window, "TxtBaiduCnt");
    counter->setFocus();
    type(*counter, "9");
    EXPECT_EQ(form.TxtBaiduCnt.Text(), "0");
    EXPECT_EQ(counter->text(), "0");
}

TEST_F(LiveWindow, SelectButtonShowsTheChosenPathAndACancelKeepsTheBox) {
    platform.dialogAnswers.push_back("/logs/ex080715.log");
    auto* select = widgetOf<QPushButton>(window, "CmdSelectrezOve");
    auto* path = widgetOf<QLineEdit>(window, "TxtrezOveFile");
    select->click();
    ASSERT_EQ(platform.dialogFilters.size(), 1u);
    EXPECT_EQ(platform.dialogFilters[0], "IIS Log Files (*.log)|*.log|All Files (*.*)|*.*");
    EXPECT_EQ(path->text(), "/logs/ex080715.log");

    path->setFocus();
    type(*path, "x");
    select->click();
    EXPECT_EQ(platform.dialogFilters.size(), 2u);
    EXPECT_EQ(path->text(), "/logs/ex080715.logx");
    EXPECT_EQ(form.TxtrezOveFile.Text(), "/logs/ex080715.logx");
}

} // namespace
} // namespace trawlmeter::ui::testing
