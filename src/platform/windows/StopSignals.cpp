#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>

#include <windows.h>

namespace trawlmeter {

// Windows has no signals to hold back: the console calls a handler on a thread of its own. The
// handler notes the request as the signal a POSIX system would send for it, and the program
// takes it when it is ready, as it takes a held signal there.
struct StopSignals::Masks {};

namespace {

// The handler takes no argument, so what it notes lives here; one StopSignals per process.
std::atomic<int> g_requested{0};

BOOL WINAPI noteRequest(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_requested.store(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_requested.store(SIGTERM);
        // Windows ends the process once this returns: the handler waits instead, so the run
        // ends as a stop ends it and the process leaves with its own status, within the grace
        // Windows gives (five seconds for a closed console).
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

StopSignals::StopSignals() : m_masks(std::make_unique<Masks>()) {
    g_requested.store(0);
    (void)SetConsoleCtrlHandler(noteRequest, TRUE);
}

StopSignals::~StopSignals() {
    (void)SetConsoleCtrlHandler(noteRequest, FALSE);
}

std::optional<int> StopSignals::take() {
    if (const int signal = g_requested.exchange(0); signal != 0) {
        return signal;
    }
    return std::nullopt;
}

std::string_view StopSignals::name(int signal) {
    switch (signal) {
    case SIGINT:
        return "INT";
    case SIGTERM:
        return "TERM";
    default:
        return "?";
    }
}

} // namespace trawlmeter
