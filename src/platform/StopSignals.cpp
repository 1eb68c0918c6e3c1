#include "platform/StopSignals.h"

#include <ctime>

namespace trawlmeter {

StopSignals::StopSignals() {
    sigemptyset(&m_stopSet);
    sigaddset(&m_stopSet, SIGINT);
    sigaddset(&m_stopSet, SIGTERM);
    sigaddset(&m_stopSet, SIGHUP);
    sigprocmask(SIG_BLOCK, &m_stopSet, &m_previous);
}

StopSignals::~StopSignals() {
    sigprocmask(SIG_SETMASK, &m_previous, nullptr);
}

std::optional<int> StopSignals::take() {
    sigset_t pending;
    if (sigpending(&pending) != 0) {
        return std::nullopt;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigismember(&pending, signal) == 1) {
            const timespec noWait{0, 0};
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, signal);
            if (sigtimedwait(&one, nullptr, &noWait) == signal) {
                return signal;
            }
        }
    }
    return std::nullopt;
}

} // namespace trawlmeter
