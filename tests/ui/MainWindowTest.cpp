#include "WindowTestSupport.h"

#include "app/FormLayout.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>

namespace trawlmeter::ui::testing {
namespace {

using WindowLayout = ShownWindow;

const char* const kCounters[] = {"TxtBaiduCnt", "TxtGoogleCnt", "TxtYahooCnt",
                                 "TxtSogouCnt", "TxtMsnCnt",    "TxtLineCnt"};

bool isShown(const ControlSpec& row) {
    return row.visible && row.kind != ControlKind::ListBox && row.kind != ControlKind::FileDialog;
}

QString shownText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* box = qobject_cast<const QLineEdit*>(widget)) {
        return box->text();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        return button->text();
    }
    return qobject_cast<const QGroupBox*>(widget)->title();
}

TEST_F(WindowLayout, IsARealXWindowShowingTheCaptionAndEveryInitialText) {
    EXPECT_EQ(QGuiApplication::platformName(), "xcb");
    EXPECT_EQ(window->windowTitle(), "Trawlmeter V1.0 --20080715");
    for (const ControlSpec& row : formLayout()) {
        if (isShown(row)) {
            EXPECT_EQ(shownText(widgetOf(*window, row.name)), qtName(row.caption)) << row.name;
        }
    }
    EXPECT_EQ(shownText(widgetOf(*window, "Label2")), "准备中");
    EXPECT_EQ(shownText(widgetOf(*window, "TxtLineCnt")), "0");
    EXPECT_TRUE(widgetOf(*window, "CmdAnalysis")->isEnabled());
}

TEST_F(WindowLayout, PlacesEveryShownControlAtItsScaledPlaceInsideItsContainer) {
    const double pixelsPerTwip = window->screen()->logicalDotsPerInch() / 1440.0;
    EXPECT_NEAR(window->width(), kMainWindow.innerWidth * pixelsPerTwip, 1.0);
    EXPECT_NEAR(window->height(), kMainWindow.innerHeight * pixelsPerTwip, 1.0);
    for (const ControlSpec& row : formLayout()) {
        if (!isShown(row)) {
            continue;
        }
        const QWidget* widget = widgetOf(*window, row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        const QWidget* container =
            row.container.empty() ? window.get() : widgetOf(*window, row.container);
        EXPECT_EQ(widget->parentWidget(), container) << row.name;
        EXPECT_TRUE(widget->isVisible()) << row.name;
        const QRect place = widget->geometry();
        EXPECT_NEAR(place.x(), row.left * pixelsPerTwip, 1.0) << row.name;
        EXPECT_NEAR(place.y(), row.top * pixelsPerTwip, 1.0) << row.name;
        EXPECT_NEAR(place.width(), row.width * pixelsPerTwip, 1.0) << row.name;
        EXPECT_NEAR(place.height(), row.height * pixelsPerTwip, 1.0) << row.name;
        EXPECT_TRUE(container->rect().contains(place)) << row.name << " is cut off";
    }
}

TEST_F(WindowLayout, HasNoWidgetForTheHiddenGroup) {
    for (const ControlSpec& row : formLayout()) {
        for (const QWidget* widget : QApplication::allWidgets()) {
            EXPECT_FALSE(!row.visible && widget->objectName() == qtName(row.name)) << row.name;
        }
    }
}

TEST_F(WindowLayout, OpensWithTheFocusOnCmdAnalysisAndTabsInTheTableOrder) {
    // Asked of the window: tests side by side on one display may hold the input focus.
    QWidget* widget = window->focusWidget();
    ASSERT_EQ(widget, widgetOf(*window, "CmdAnalysis"));
    QStringList order;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != window->focusWidget() && order.size() < 50);
    EXPECT_EQ(order, QStringList({"CmdAnalysis", "CmdSelectrezOve", "TxtBaiduCnt", "TxtSogouCnt",
                                  "TxtMsnCnt", "TxtYahooCnt", "TxtGoogleCnt", "TxtLineCnt",
                                  "TxtrezOveFile"}));
}

TEST_F(WindowLayout, DrawsCountersInButtonFaceAndHighlightAndTheCreditLineInBlue) {
    const QPalette platformColours = QApplication::palette();
    for (const char* counter : kCounters) {
        const QPalette palette = widgetOf(*window, counter)->palette();
        EXPECT_EQ(palette.color(QPalette::Base), platformColours.color(QPalette::Button));
        EXPECT_EQ(palette.color(QPalette::Text), platformColours.color(QPalette::Highlight));
    }
    const auto* credit = widgetOf(*window, "Label4");
    EXPECT_EQ(credit->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(credit->cursor().shape(), Qt::PointingHandCursor);
}

// The last pixel column that a label's text covers at least half, drawn unclipped as the
// label draws it. Font metrics overstate fallback glyphs such as the full-width colon.
int inkedRight(const QLabel& label) {
    QImage image(label.width() * 3, label.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(label.font());
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
    for (const ControlSpec& row : formLayout()) {
        const QWidget* widget = isShown(row) ? widgetOf(*window, row.name) : nullptr;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            EXPECT_LT(inkedRight(*label), label->width()) << row.name;
        } else if (widget != nullptr && qobject_cast<const QLineEdit*>(widget) == nullptr) {
            EXPECT_LT(widget->fontMetrics().horizontalAdvance(shownText(widget)), widget->width())
                << row.name;
        }
    }
}

TEST_F(WindowLayout, CreditLineClickHandsTheHomePageToTheDesktopAndShowsNoFailure) {
    platform.urlOpenSucceeds = false;
    auto* credit = widgetOf(*window, "Label4");
    const QPointF centre = QRectF(credit->rect()).center();
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, credit->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(credit, &event);
    }
    EXPECT_EQ(platform.openedUrls, std::vector<std::string>{std::string(kHomePage)});
    EXPECT_TRUE(platform.messages.empty());
}

// A right click anywhere brings the report entry: on the window itself alone, on a text box
// after the box's own entries. Choosing it writes the page and hands it to the browser.
TEST_F(WindowLayout, RightClickOffersTheCrawlerReportAndOpensThePage) {
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty()) {
        GTEST_SKIP() << "no xdotool to click with";
    }
    struct Place {
        QWidget* widget;
        int entriesBefore;
    };
    const Place places[] = {{window.get(), 0}, {widgetOf(*window, "TxtrezOveFile"), 2}};
    for (const auto& [widget, entriesBefore] : places) {
        platform.openedUrls.clear();
        QStringList seen;
        // The menu runs its own event loop: it is looked at and chosen from inside it.
        QTimer chooser;
        QObject::connect(&chooser, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            chooser.stop();
            for (QAction* action : menu->actions()) {
                seen << action->text();
            }
            QAction* last = menu->actions().last();
            EXPECT_TRUE(last->isEnabled());
            menu->close();
            last->trigger();
        });
        chooser.start(20);
        const QPoint at = widget->mapTo(window.get(), QPoint(5, 5));
        ASSERT_EQ(QProcess::execute(
                      xdotool, {"mousemove", "--window", QString::number(window->winId()),
                                QString::number(at.x()), QString::number(at.y()), "click", "3"}),
                  0);
        ASSERT_TRUE(waitUntil([&] { return !platform.openedUrls.empty(); }))
            << seen.join(",").toStdString();
        EXPECT_EQ(seen.last(), "查看爬虫报告");
        EXPECT_GT(seen.size(), entriesBefore);
        EXPECT_EQ(platform.openedUrls[0], "file://" + folder.str() + "/report.html");
        EXPECT_TRUE(QFile::exists(QString::fromStdString(folder.str() + "/report.html")));
    }
}

// A bare X server has no window manager to honour the size hints, so resizes go through;
// the window must undo them. Minimising must work without a word.
TEST_F(WindowLayout, KeepsItsInnerSizeWhateverResizesItAndMinimisesQuietly) {
    const QSize fixed = window->fixedInnerSize();
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->resize(fixed + QSize(120, 80));
    EXPECT_TRUE(waitUntil([&] { return window->size() == fixed; }));

    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (!xdotool.isEmpty()) {
        const QString id = QString::number(window->winId());
        ASSERT_EQ(QProcess::execute(xdotool, {"windowsize", id, "700", "560"}), 0);
        const auto xSize = [&] {
            QProcess query;
            query.start(xdotool, {"getwindowgeometry", id});
            query.waitForFinished();
            const auto found = QRegularExpression(R"(Geometry: (\d+)x(\d+))")
                                   .match(QString::fromUtf8(query.readAllStandardOutput()));
            return QSize(found.captured(1).toInt(), found.captured(2).toInt());
        };
        EXPECT_TRUE(waitUntil([&] { return xSize() == fixed * window->devicePixelRatio(); }));
        EXPECT_EQ(window->size(), fixed);
    }

    window->showMinimized();
    waitUntil([] { return false; }, 200ms);
    window->showNormal();
    EXPECT_TRUE(waitUntil([&] { return window->isVisible() && !window->isMinimized(); }));
    EXPECT_EQ(window->size(), fixed);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WindowLayout, SavesScreenshotsForReview) {
    ASSERT_TRUE(QDir().mkpath(TRAWLMETER_SCREENSHOT_DIR));
    waitUntil([] { return false; }, 100ms);
    EXPECT_TRUE(window->grab().save(TRAWLMETER_SCREENSHOT_DIR "/main-window.png"));
    // What the X server really shows, not what the widgets paint into a pixmap.
    const QRect onScreen(window->mapToGlobal(QPoint(0, 0)), window->size());
    EXPECT_TRUE(window->screen()
                    ->grabWindow(0, onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height())
                    .save(TRAWLMETER_SCREENSHOT_DIR "/main-window-screen.png"));
}

} // namespace
} // namespace trawlmeter::ui::testing
