#pragma once

#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"
#include "ui/MainWindow.h"

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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

// Handles events until `done` holds or the time is up; returns whether it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

// Handles events for a while, for effects that have nothing to wait for.
void settle(std::chrono::milliseconds time = 100ms);

QString qtName(std::string_view name);

// The window's widget for a control, found by the control's name.
template <class Widget> Widget* widgetOf(QWidget& window, std::string_view name) {
    return window.findChild<Widget*>(qtName(name));
}

// Writes an IIS log: the "#Fields:" line, then `lines` request lines of which every
// `crawlerEvery`-th comes from Baiduspider. Returns the number of crawler lines.
long writeCrawlerLog(const std::filesystem::path& path, long lines, long crawlerEvery);

// A form on scripted platform fakes, shown in a real window; the folder holds a fresh visit
// database unless the test says otherwise.
class ShownWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void open(bool withDatabase = true);

    trawlmeter::testing::TestFolder folder;
    trawlmeter::testing::FakePlatform platform;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<MainWindow> window;
};

} // namespace trawlmeter::ui::testing
