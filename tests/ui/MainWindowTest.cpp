#include "WindowTestSupport.h"

#include "app/FormLayout.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <cmath>

namespace trawlmeter::ui::testing {
namespace {

using WindowLayout = ShownWindow;

double screenDotsPerInch(const QWidget& window) {
    return window.screen()->logicalDotsPerInch();
}

// The place of a layout row in pixels; one pixel of rounding either way is allowed.
void expectScaledPlace(const QWidget& widget, const ControlSpec& spec, double dotsPerInch) {
    const auto scaled = [dotsPerInch](int twips) { return twips * dotsPerInch / 1440.0; };
    const QRect place = widget.geometry();
    EXPECT_NEAR(place.x(), scaled(spec.left), 1.0) << spec.name;
    EXPECT_NEAR(place.y(), scaled(spec.top), 1.0) << spec.name;
    EXPECT_NEAR(place.width(), scaled(spec.width), 1.0) << spec.name;
    EXPECT_NEAR(place.height(), scaled(spec.height), 1.0) << spec.name;
}

bool isShownControl(const ControlSpec& spec) {
    return spec.visible && spec.kind != ControlKind::ListBox &&
           spec.kind != ControlKind::FileDialog;
}

TEST_F(WindowLayout, IsARealXWindowWithTheCaptionAndTheInitialTexts) {
    EXPECT_EQ(QGuiApplication::platformName(), "xcb");
    EXPECT_EQ(window->windowTitle(), "Trawlmeter V1.0 --20080715");
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label1")->text(), "日志文件：");
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label2")->text(), "准备中");
    EXPECT_EQ(widgetOf<QLabel>(*window, "Label3")->text(), "准备中");
    EXPECT_EQ(widgetOf<QGroupBox>(*window, "Frame3")->title(), "运行状态");
    EXPECT_EQ(widgetOf<QGroupBox>(*window, "Frame1")->title(), "日志记录数统计");
    for (const char* counter :
         {"TxtBaiduCnt", "TxtGoogleCnt", "TxtYahooCnt", "TxtSogouCnt", "TxtMsnCnt", "TxtLineCnt"}) {
        EXPECT_EQ(widgetOf<QLineEdit>(*window, counter)->text(), "0") << counter;
    }
    EXPECT_EQ(widgetOf<QLineEdit>(*window, "TxtrezOveFile")->text(), "");
    const auto* analysis = widgetOf<QPushButton>(*window, "CmdAnalysis");
    EXPECT_EQ(analysis->text(), "开始分析");
    EXPECT_TRUE(analysis->isEnabled());
    EXPECT_EQ(widgetOf<QPushButton>(*window, "CmdSelectrezOve")->text(), "选择日志文件");
    EXPECT_TRUE(widgetOf<QLabel>(*window, "Label4")->text().startsWith("Powered by "));
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WindowLayout, PlacesEveryShownControlAtItsScaledPlaceInItsContainer) {
    const double dotsPerInch = screenDotsPerInch(*window);
    EXPECT_NEAR(window->width(), kMainWindow.innerWidth * dotsPerInch / 1440.0, 1.0);
    EXPECT_NEAR(window->height(), kMainWindow.innerHeight * dotsPerInch / 1440.0, 1.0);
    for (const ControlSpec& spec : formLayout()) {
        if (!isShownControl(spec)) {
            continue;
        }
        const QWidget* widget = widgetOf<QWidget>(*window, spec.name);
        ASSERT_NE(widget, nullptr) << spec.name;
        EXPECT_TRUE(widget->isVisible()) << spec.name;
        const QWidget* container =
            spec.container.empty() ? window.get() : widgetOf<QWidget>(*window, spec.container);
        EXPECT_EQ(widget->parentWidget(), container) << spec.name;
        expectScaledPlace(*widget, spec, dotsPerInch);
        // Nothing is cut off by the edge of its window or frame.
        EXPECT_TRUE(container->rect().contains(widget->geometry())) << spec.name;
    }
}

TEST_F(WindowLayout, CreatesNoWidgetForTheHiddenGroup) {
    for (const ControlSpec& spec : formLayout()) {
        if (spec.visible) {
            continue;
        }
        EXPECT_EQ(widgetOf<QWidget>(*window, spec.name), nullptr) << spec.name;
        for (const QWidget* widget : QApplication::allWidgets()) {
            EXPECT_FALSE(widget->objectName() == qtName(spec.name) && widget->isVisible())
                << spec.name;
        }
    }
}

TEST_F(WindowLayout, OpensWithTheFocusOnCmdAnalysisAndTabsInTheTableOrder) {
    auto* analysis = widgetOf<QWidget>(*window, "CmdAnalysis");
    // The window system may hand the input focus to another program's window (tests run side
    // by side), so ask the window which of its widgets holds its focus.
    EXPECT_EQ(window->focusWidget(), analysis);

    QStringList order;
    QWidget* widget = analysis;
    do {
        order << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget != analysis && !(widget->focusPolicy() & Qt::TabFocus)) {
            widget = widget->nextInFocusChain();
        }
    } while (widget != analysis && order.size() < 50);
    EXPECT_EQ(order, QStringList({"CmdAnalysis", "CmdSelectrezOve", "TxtBaiduCnt", "TxtSogouCnt",
                                  "TxtMsnCnt", "TxtYahooCnt", "TxtGoogleCnt", "TxtLineCnt",
                                  "TxtrezOveFile"}));
}

TEST_F(WindowLayout, DrawsCountersInButtonFaceAndHighlightAndTheCreditLineInBlue) {
    const QPalette platformPalette = QApplication::palette();
    for (const char* counter :
         {"TxtBaiduCnt", "TxtGoogleCnt", "TxtYahooCnt", "TxtSogouCnt", "TxtMsnCnt", "TxtLineCnt"}) {
        const QPalette palette = widgetOf<QLineEdit>(*window, counter)->palette();
        EXPECT_EQ(palette.color(QPalette::Base), platformPalette.color(QPalette::Button));
        EXPECT_EQ(palette.color(QPalette::Text), platformPalette.color(QPalette::Highlight));
    }
    const auto* credit = widgetOf<QLabel>(*window, "Label4");
    EXPECT_EQ(credit->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(credit->cursor().shape(), Qt::PointingHandCursor);
}

// The last pixel column a label's text inks at least half when drawn as the label draws it,
// unclipped; -1 for none. Font metrics overstate the ink of fallback glyphs such as the
// full-width colon, so the text is really drawn; a fainter anti-aliasing fringe may be cut.
int inkedRight(const QLabel& label) {
    QImage image(label.width() * 3, label.height() * 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(label.font());
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), static_cast<int>(label.alignment()), label.text());
    painter.end();
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qAlpha(image.pixel(x, y)) >= 128) {
                return x;
            }
        }
    }
    return -1;
}

TEST_F(WindowLayout, ShowsEveryCaptionWhole) {
    for (const ControlSpec& spec : formLayout()) {
        if (!isShownControl(spec)) {
            continue;
        }
        const QWidget* widget = widgetOf<QWidget>(*window, spec.name);
        const QFontMetrics metrics(widget->font());
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            EXPECT_LT(inkedRight(*label), label->contentsRect().width()) << spec.name;
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            EXPECT_LT(metrics.horizontalAdvance(button->text()), button->width()) << spec.name;
        } else if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
            EXPECT_LT(metrics.horizontalAdvance(frame->title()), frame->width()) << spec.name;
        }
    }
}

TEST_F(WindowLayout, CreditLineClickHandsTheHomePageToTheDesktop) {
    platform.urlOpenSucceeds = false;
    auto* credit = widgetOf<QLabel>(*window, "Label4");
    const QPointF centre = QRectF(credit->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, credit->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, credit->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(credit, &press);
    QApplication::sendEvent(credit, &release);

    EXPECT_EQ(platform.openedUrls, std::vector<std::string>{std::string(kHomePage)});
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WindowLayout, PutsItsInnerSizeBackAfterAResize) {
    const QSize fixed = window->fixedInnerSize();
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->resize(fixed + QSize(120, 80));
    EXPECT_TRUE(waitUntil([&] { return window->size() == fixed; }));
}

// A bare X server has no window manager to honour the size hints, so a resize from outside
// goes through; the window must undo it.
TEST_F(WindowLayout, PutsItsXWindowSizeBackAfterAnOutsideResize) {
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty()) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    const QString id = QString::number(window->winId());
    ASSERT_EQ(QProcess::execute(xdotool, {"windowsize", id, "700", "560"}), 0);
    const QSize fixed = window->fixedInnerSize();
    const auto xGeometry = [&] {
        QProcess query;
        query.start(xdotool, {"getwindowgeometry", id});
        query.waitForFinished();
        const auto match = QRegularExpression(R"(Geometry: (\d+)x(\d+))")
                               .match(QString::fromUtf8(query.readAllStandardOutput()));
        return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt())
                                : QSize();
    };
    const QSize devicePixels = fixed * window->devicePixelRatio();
    EXPECT_TRUE(waitUntil([&] { return xGeometry() == devicePixels; }))
        << "X window is " << xGeometry().width() << "x" << xGeometry().height();
    EXPECT_EQ(window->size(), fixed);
}

TEST_F(WindowLayout, MinimisesAndComesBackWithoutAnyMessage) {
    window->showMinimized();
    settle(200ms);
    window->showNormal();
    EXPECT_TRUE(waitUntil([&] { return window->isVisible() && !window->isMinimized(); }));
    EXPECT_EQ(window->size(), window->fixedInnerSize());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WindowLayout, SavesScreenshotsForReview) {
    ASSERT_TRUE(QDir().mkpath(TRAWLMETER_SCREENSHOT_DIR));
    settle();
    const QString windowShot = QStringLiteral(TRAWLMETER_SCREENSHOT_DIR "/main-window.png");
    ASSERT_TRUE(window->grab().save(windowShot));
    const QString screenShot = QStringLiteral(TRAWLMETER_SCREENSHOT_DIR "/main-window-screen.png");
    const QRect onScreen(window->mapToGlobal(QPoint(0, 0)), window->size());
    ASSERT_TRUE(window->screen()
                    ->grabWindow(0, onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height())
                    .save(screenShot));
    EXPECT_GT(QFileInfo(windowShot).size(), 0);
    EXPECT_GT(QFileInfo(screenShot).size(), 0);
}

} // namespace
} // namespace trawlmeter::ui::testing
