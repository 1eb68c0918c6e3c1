#pragma once

#include "platform/Ports.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trawlmeter::testing {

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
};

} // namespace trawlmeter::testing
