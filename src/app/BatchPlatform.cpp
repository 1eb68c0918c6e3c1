#include "app/BatchPlatform.h"

#include <ostream>

namespace trawlmeter {
namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
// Reading the clock on every yield would cost more than the yield itself.
constexpr unsigned kYieldsPerClockCheck = 4096;
} // namespace

BatchPlatform::BatchPlatform(std::ostream& err, ProgressText progress)
    : m_err(err), m_progress(std::move(progress)) {}

void BatchPlatform::showMessage(const std::string& prompt, int, const std::string& title) {
    endProgress();
    m_err << title << ": " << prompt << '\n';
    ++m_messagesShown;
}

void BatchPlatform::yieldToEvents() {
    if (!m_progress || ++m_yieldsSinceClockCheck < kYieldsPerClockCheck) {
        return;
    }
    m_yieldsSinceClockCheck = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDraw < kRedrawInterval) {
        return;
    }
    m_lastDraw = now;
    const std::string line = m_progress();
    m_err << '\r' << line;
    if (line.size() < m_drawnWidth) {
        m_err << std::string(m_drawnWidth - line.size(), ' ');
    }
    m_drawnWidth = std::max(m_drawnWidth, line.size());
    m_err.flush();
}

void BatchPlatform::endProgress() {
    if (m_drawnWidth > 0) {
        m_err << '\r' << std::string(m_drawnWidth, ' ') << '\r';
        m_err.flush();
        m_drawnWidth = 0;
    }
}

} // namespace trawlmeter
