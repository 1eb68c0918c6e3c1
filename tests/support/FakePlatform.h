#pragma once

#include "platform/Ports.h"

#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace trawlmeter::testing {

// File writes that reach the disk until the Nth (counted from 1, kernel copies included); that
// one and every later one fail with `error`, as a disk that filled up stays full.
class FaultyFileWrites : public FileWritePort {
public:
    Expected<std::size_t> write(File& to, std::span<const char> bytes) override;
    Expected<std::int64_t> copyRange(const File& from, std::int64_t offset, std::int64_t length,
                                     File& to) override;

    void failFrom(long write, std::errc error) {
        m_failFrom = write;
        m_error = std::make_error_code(error);
    }
    long writes() const { return m_writes; }
    // Runs before every write, on the thread that writes.
    std::function<void()> beforeWrite;

private:
    bool fails() { return ++m_writes >= m_failFrom; }

    SystemFileWrites m_system;
    long m_writes = 0;
    long m_failFrom = std::numeric_limits<long>::max();
    std::error_code m_error;
};

struct ShownMessage {
    std::string prompt;
    int style;
    std::string title;
};

// Scripted stand-ins for the desktop: records what was shown, answers dialogs from a
// queue, and runs an optional callback inside each yield.
class FakePlatform : public MessageBoxPort,
                     public EventLoopPort,
                     public FileDialogPort,
                     public UrlOpenerPort {
public:
    void showMessage(const std::string& prompt, int style, const std::string& title) override;
    void yieldToEvents() override;
    std::optional<std::string> chooseFileToOpen(const std::string& filter) override;
    bool openUrl(const std::string& url) override;

    PlatformPorts ports(std::string programFolder);

    std::vector<ShownMessage> messages;
    std::vector<std::string> dialogFilters;
    // Each dialog takes the next answer; nothing (a cancel) when the queue is empty.
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<std::string> openedUrls;
    bool urlOpenSucceeds = true;
    long yields = 0;
    // Runs inside every yield, as an event handler would.
    std::function<void()> onYield;
    FaultyFileWrites fileWrites;
};

} // namespace trawlmeter::testing
