#include "WindowTestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace trawlmeter::ui::testing {
namespace {

using ModelInTheWindow = ShownWindow;

void type(QWidget& widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(&widget, &press);
    }
}

TEST_F(ModelInTheWindow, AYieldShowsWhatTheProgramWroteIntoTheControls) {
    form->TxtBaiduCnt.setText("42");
    form->Label3.setCaption("正在分析第 3 个临时日志文件");
    form->CmdAnalysis.setEnabled(false);
    EXPECT_EQ(widgetOf<QLineEdit>(*window, "TxtBaiduCnt")->text(), "0");

    eventLoop.yieldToEvents();

    EXPECT_EQ(widgetOf<QLineEdit>(*window, "TxtBaiduCnt")->text(), "42");
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label3")->text(), "正在分析第 3 个临时日志文件");
    EXPECT_FALSE(widgetOf(*window, "CmdAnalysis")->isEnabled());
}

TEST(ThrottledEventLoop, HandlesPendingEventsAtMostOncePerInterval) {
    int refreshes = 0;
    ThrottledEventLoop slow(std::chrono::hours(1));
    slow.setRefresh([&] { ++refreshes; });
    int handled = 0;
    QMetaObject::invokeMethod(
        qApp, [&] { ++handled; }, Qt::QueuedConnection);
    slow.yieldToEvents();
    QMetaObject::invokeMethod(
        qApp, [&] { ++handled; }, Qt::QueuedConnection);
    for (int i = 0; i < 1000; ++i) {
        slow.yieldToEvents();
    }
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(refreshes, 2);
    ThrottledEventLoop(0ms).yieldToEvents();
    EXPECT_EQ(handled, 2);
}

TEST_F(ModelInTheWindow, TypedPathsReachTheModelAndCountersTakeNoTyping) {
    auto* path = widgetOf<QLineEdit>(*window, "TxtrezOveFile");
    type(*path, "/日志/ex080715.log");
    EXPECT_EQ(form->TxtrezOveFile.Text(), "/日志/ex080715.log");
    eventLoop.yieldToEvents();
    EXPECT_EQ(path->cursorPosition(), path->text().size());

    type(*widgetOf(*window, "TxtBaiduCnt"), "9");
    EXPECT_EQ(form->TxtBaiduCnt.Text(), "0");
}

TEST_F(ModelInTheWindow, SelectButtonShowsTheChosenPathAndACancelKeepsTheBox) {
    platform.dialogAnswers.push_back("/logs/ex080715.log");
    auto* select = widgetOf<QPushButton>(*window, "CmdSelectrezOve");
    auto* path = widgetOf<QLineEdit>(*window, "TxtrezOveFile");
    select->click();
    EXPECT_EQ(platform.dialogFilters,
              std::vector<std::string>{"IIS Log Files (*.log)|*.log|All Files (*.*)|*.*"});
    EXPECT_EQ(path->text(), "/logs/ex080715.log");

    type(*path, "x");
    select->click();
    EXPECT_EQ(platform.dialogFilters.size(), 2u);
    EXPECT_EQ(path->text(), "/logs/ex080715.logx");
}

} // namespace
} // namespace trawlmeter::ui::testing
