#include "WindowTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

namespace trawlmeter::ui::testing {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
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

void settle(std::chrono::milliseconds time) {
    waitUntil([] { return false; }, time);
}

QString qtName(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

void ShownWindow::SetUp() {
    open();
}

void ShownWindow::open(bool withDatabase) {
    window.reset();
    form.reset();
    if (withDatabase) {
        folder.createVisitDatabase();
    }
    form = std::make_unique<MainForm>(platform.ports(folder.str()));
    window = std::make_unique<MainWindow>(*form);
    window->loadAndShow();
    ASSERT_TRUE(waitUntil([this] {
        return window->windowHandle() != nullptr && window->windowHandle()->isExposed();
    }));
}

} // namespace trawlmeter::ui::testing
