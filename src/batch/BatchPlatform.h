#pragma once

#include "platform/Failure.h"
#include "platform/FileWrites.h"
#include "platform/Ports.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace trawlmeter {
class StopSignals;
} // namespace trawlmeter

namespace trawlmeter::batch {

// The desktop as seen from a terminal: message boxes become lines on the error stream, and a
// yield redraws a progress line a few times a second and takes a stop signal as a close of
// the window.
class BatchPlatform : public MessageBoxPort,
                      public EventLoopPort,
                      public FileDialogPort,
                      public UrlOpenerPort {
public:
    using ProgressText = std::function<std::string()>;
    using StopRequest = std::function<void()>;

    // `progress` may be empty (no progress line); `signals` may be null (signals not taken).
    BatchPlatform(std::ostream& err, ProgressText progress, StopSignals* signals,
                  StopRequest onStop);

    void showMessage(const std::string& prompt, int style, const std::string& title) override;
    void yieldToEvents() override;
    // Looks for a stop signal and redraws the progress line at every call, however long it
    // was since the last yield.
    void yieldWhileWaiting() override;
    std::optional<std::string> chooseFileToOpen(const std::string&) override {
        return std::nullopt;
    }
    bool openUrl(const std::string&) override { return false; }
    PlatformPorts ports(std::string programFolder);

    // The stop signal taken so far, if any.
    std::optional<int> stopSignal() const { return m_stopSignal; }
    // Why the error stream took no more output, once a write to it failed (a pipe nobody
    // reads, a full disk, a closed stream); the run in hand was then asked to stop, as no
    // message of it could be read.
    const std::optional<Failure>& errorStreamFailure() const { return m_errorStreamFailure; }
    // Looks for a stop signal now, as a yield would.
    void takeStopSignal();
    // Clears the progress line so that normal output starts on a clean line.
    void endProgress();
    // From now on measures the time between two yields; the longest so far.
    void measureYieldGaps() { m_measureGaps = true; }
    std::chrono::nanoseconds longestYieldGap() const { return m_longestGap; }

private:
    void drawProgress();
    // Flushes the error stream; a first failure is kept and stops the run.
    void flushErrorStream();

    std::ostream& m_err;
    ProgressText m_progress;
    StopSignals* m_signals;
    StopRequest m_onStop;
    SystemFileWrites m_fileWrites;
    std::optional<int> m_stopSignal;
    std::optional<Failure> m_errorStreamFailure;
    std::chrono::steady_clock::time_point m_lastCheck{};
    std::chrono::steady_clock::time_point m_lastDraw{};
    std::size_t m_drawnWidth = 0;
    // Yields go by millions in a scan and a few hundred a second in a split: the clock is read
    // every so many yields, a number that keeps the checks a millisecond or so apart.
    unsigned m_yieldsPerCheck = 1;
    unsigned m_yieldsSinceCheck = 0;
    bool m_measureGaps = false;
    std::chrono::steady_clock::time_point m_lastYield{};
    std::chrono::nanoseconds m_longestGap{0};
};

} // namespace trawlmeter::batch
