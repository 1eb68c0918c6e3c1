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

long writeCrawlerLog(const std::filesystem::path& path, long lines, long crawlerEvery) {
    std::string log = "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query "
                      "s-port cs-username c-ip cs(User-Agent) sc-status sc-substatus "
                      "sc-win32-status\r\n";
    long crawlers = 0;
    for (long i = 1; i <= lines; ++i) {
        const bool crawler = i % crawlerEvery == 0;
        crawlers += crawler ? 1 : 0;
        log += "2008-07-15 00:00:01 W3SVC1 10.0.0.1 GET /page" + std::to_string(i) +
               ".html - 80 - 10.0.0.2 " +
               (crawler ? "Baiduspider+(+http://www.baidu.com/search/spider.htm)"
                        : "Mozilla/4.0+(compatible;+MSIE+6.0;+Windows+NT+5.1)") +
               " 200 0 0\r\n";
    }
    trawlmeter::testing::writeWholeFile(path, log);
    return crawlers;
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
