#include "platform/StopSignals.h"

#include <ctime>

#include <signal.h>

namespace trawlmeter {

struct StopSignals::Masks {
    sigset_t stop{};
    sigset_t previous{};
};

namespace {
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
} // namespace

StopSignals::StopSignals() : m_masks(std::make_unique<Masks>()) {
    sigemptyset(&m_masks->stop);
    for (const int signal : kStopSignals) {
        sigaddset(&m_masks->stop, signal);
    }
    sigprocmask(SIG_BLOCK, &m_masks->stop, &m_masks->previous);
}

StopSignals::~StopSignals() {
    sigprocmask(SIG_SETMASK, &m_masks->previous, nullptr);
}

std::optional<int> StopSignals::take() {
    sigset_t pending;
    if (sigpending(&pending) != 0) {
        return std::nullopt;
    }
    for (const int signal : kStopSignals) {
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

std::string_view StopSignals::name(int signal) {
    switch (signal) {
    case SIGINT:
        return "INT";
    case SIGTERM:
        return "TERM";
    case SIGHUP:
        return "HUP";
    default:
        return "?";
    }
}

} // namespace trawlmeter
