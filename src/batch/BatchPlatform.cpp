#include "batch/BatchPlatform.h"

#include "platform/StopSignals.h"
#include "platform/WriteFailures.h"

#include <algorithm>
#include <ostream>

namespace trawlmeter::batch {
namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr auto kCheckAtLeast = std::chrono::milliseconds(1);
constexpr auto kCheckAtMost = std::chrono::milliseconds(5);
constexpr unsigned kMostYieldsPerCheck = 1u << 16;
} // namespace

BatchPlatform::BatchPlatform(std::ostream& err, ProgressText progress, StopSignals* signals,
                             StopRequest onStop)
    : m_err(err), m_progress(std::move(progress)), m_signals(signals), m_onStop(std::move(onStop)) {
}

PlatformPorts BatchPlatform::ports(std::string programFolder) {
    return PlatformPorts{*this, *this, *this, *this, m_fileWrites, std::move(programFolder)};
}

void BatchPlatform::showMessage(const std::string& prompt, int, const std::string& title) {
    endProgress();
    m_err << title << ": " << prompt << '\n';
    flushErrorStream();
}

void BatchPlatform::flushErrorStream() {
    if (m_errorStreamFailure) {
        return;
    }
    if (const auto failed = flushStandardStream(m_err)) {
        m_errorStreamFailure = Failure{failed, "standard error", {}};
        // A run whose messages nobody can read any more ends as a closed window ends it, as
        // a program whose reader has gone is expected to.
        if (m_onStop) {
            m_onStop();
        }
    }
}

void BatchPlatform::yieldToEvents() {
    if (m_measureGaps) {
        const auto now = std::chrono::steady_clock::now();
        if (m_lastYield != std::chrono::steady_clock::time_point{}) {
            m_longestGap = std::max<std::chrono::nanoseconds>(m_longestGap, now - m_lastYield);
        }
        m_lastYield = now;
    }
    if (++m_yieldsSinceCheck < m_yieldsPerCheck) {
        return;
    }
    m_yieldsSinceCheck = 0;
    const auto now = std::chrono::steady_clock::now();
    const auto sinceCheck = now - m_lastCheck;
    m_lastCheck = now;
    if (sinceCheck < kCheckAtLeast) {
        m_yieldsPerCheck = std::min(m_yieldsPerCheck * 2, kMostYieldsPerCheck);
    } else if (sinceCheck > kCheckAtMost) {
        m_yieldsPerCheck = std::max(m_yieldsPerCheck / 2, 1u);
    }
    takeStopSignal();
    if (m_progress && now - m_lastDraw >= kRedrawInterval) {
        m_lastDraw = now;
        drawProgress();
    }
}

void BatchPlatform::yieldWhileWaiting() {
    // The yields of a scan come so fast that the clock is read only every so many; these come
    // a hundred a second, and the count left from a scan would put a signal off for minutes.
    m_yieldsPerCheck = 1;
    m_yieldsSinceCheck = 0;
    m_lastCheck = std::chrono::steady_clock::now();
    takeStopSignal();
    if (m_progress && m_lastCheck - m_lastDraw >= kRedrawInterval) {
        m_lastDraw = m_lastCheck;
        drawProgress();
    }
}

void BatchPlatform::takeStopSignal() {
    if (m_signals == nullptr || m_stopSignal) {
        return;
    }
    m_stopSignal = m_signals->take();
    if (m_stopSignal && m_onStop) {
        m_onStop();
    }
}

void BatchPlatform::drawProgress() {
    const std::string line = m_progress();
    m_err << '\r' << line;
    if (line.size() < m_drawnWidth) {
        m_err << std::string(m_drawnWidth - line.size(), ' ');
    }
    m_drawnWidth = std::max(m_drawnWidth, line.size());
    flushErrorStream();
}

void BatchPlatform::endProgress() {
    if (m_drawnWidth > 0) {
        m_err << '\r' << std::string(m_drawnWidth, ' ') << '\r';
        flushErrorStream();
        m_drawnWidth = 0;
    }
}

} // namespace trawlmeter::batch
