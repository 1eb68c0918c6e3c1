#pragma once

#include "platform/Ports.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace trawlmeter::bench {

// Ports for a run without a display: messages go to standard error, yields do nothing.
class QuietPlatform : public MessageBoxPort,
                      public EventLoopPort,
                      public FileDialogPort,
                      public UrlOpenerPort {
public:
    void showMessage(const std::string& prompt, int style, const std::string& title) override;
    void yieldToEvents() override {}
    std::optional<std::string> chooseFileToOpen(const std::string&) override {
        return std::nullopt;
    }
    bool openUrl(const std::string&) override { return false; }
    PlatformPorts ports(std::string programFolder) {
        return PlatformPorts{*this, *this, *this, *this, m_fileWrites, std::move(programFolder)};
    }

private:
    SystemFileWrites m_fileWrites;
};

// Seconds since `start`.
double secondsSince(std::chrono::steady_clock::time_point start);

// Writes `bytes` bytes of IIS log lines, about `crawlerPercent` of them from the five engines'
// crawlers and `otherPercent` from the other crawlers of the list (its own examples that hold
// no engine's token, all alike), deterministically from `seed`. Returns the number of lines.
std::int64_t writeGeneratedLog(const std::string& path, std::int64_t bytes, int crawlerPercent,
                               int otherPercent = 0, std::uint32_t seed = 1);

// Runs a shell command and returns its wall time in seconds (negative when it failed).
double timeShellCommand(const std::string& command);

} // namespace trawlmeter::bench
