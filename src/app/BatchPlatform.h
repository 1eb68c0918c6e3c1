#pragma once

#include "platform/Ports.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

namespace trawlmeter {

// The desktop as seen from a terminal: message boxes become lines on the error stream and a
// yield redraws a progress line at most a few times a second.
class BatchPlatform : public MessageBoxPort,
                      public EventLoopPort,
                      public FileDialogPort,
                      public UrlOpenerPort {
public:
    using ProgressText = std::function<std::string()>;

    BatchPlatform(std::ostream& err, ProgressText progress);

    void showMessage(const std::string& prompt, int style, const std::string& title) override;
    void yieldToEvents() override;
    std::optional<std::string> chooseFileToOpen(const std::string&) override {
        return std::nullopt;
    }
    bool openUrl(const std::string&) override { return false; }

    int messagesShown() const { return m_messagesShown; }
    // Clears the progress line so that normal output starts on a clean line.
    void endProgress();

private:
    std::ostream& m_err;
    ProgressText m_progress;
    int m_messagesShown = 0;
    std::chrono::steady_clock::time_point m_lastDraw{};
    std::size_t m_drawnWidth = 0;
    unsigned m_yieldsSinceClockCheck = 0;
};

} // namespace trawlmeter
