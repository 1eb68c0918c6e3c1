#pragma once

#include "app/MainForm.h"
#include "support/DnsmasqServer.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"
#include "ui/MainWindow.h"
#include "ui/ThrottledEventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string_view>

// Failure messages show Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace trawlmeter::ui::testing {

using namespace std::chrono_literals;
using trawlmeter::testing::FakePlatform;
using trawlmeter::testing::TestFolder;

// Handles events until `done` holds or the time is up; returns whether it held.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

inline QString qtName(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The window's widget for a control, found by the control's name.
template <class Widget = QWidget> Widget* widgetOf(const QWidget& window, std::string_view name) {
    return window.findChild<Widget*>(qtName(name));
}

// A form in a real window, wired as the program wires it but with scripted fakes for the
// dialogs and the browser; its folder holds a fresh visit database and the range files, and
// its report asks no DNS server.
class ShownWindow : public ::testing::Test {
protected:
    ShownWindow() {
        folder.createVisitDatabase();
        folder.copyRangeFiles();
        form = std::make_unique<MainForm>(PlatformPorts{platform, eventLoop, platform, platform,
                                                        platform.fileWrites, folder.str()});
        form->setDnsServer(trawlmeter::testing::closedDnsPort());
        window = std::make_unique<MainWindow>(*form);
        window->loadAndShow();
        eventLoop.setRefresh([this] { window->refreshFromModel(); });
        EXPECT_TRUE(waitUntil([this] { return window->windowHandle()->isExposed(); }));
    }

    TestFolder folder;
    FakePlatform platform;
    ThrottledEventLoop eventLoop{0ms};
    std::unique_ptr<MainForm> form;
    std::unique_ptr<MainWindow> window;
};

} // namespace trawlmeter::ui::testing
