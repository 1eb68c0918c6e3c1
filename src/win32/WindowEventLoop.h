#pragma once

#include "platform/Ports.h"

#include <chrono>
#include <functional>
#include <optional>

#include <windows.h>

namespace trawlmeter::win32 {

// The program's message loop, and the yield of the long loops into it. They yield once per
// step, millions of times in a run: handling the pending messages at most once per interval
// keeps each yield nearly free while the window stays live and its counters current to the eye.
class WindowEventLoop : public EventLoopPort {
public:
    explicit WindowEventLoop(std::chrono::milliseconds interval = std::chrono::milliseconds(15))
        : m_interval(interval) {}

    // Runs before and after each round of message handling to bring the controls up to the
    // model: before, so input meets controls that show what the program did (a button the run
    // disabled takes no click); after, so the screen shows what the handlers did.
    void setRefresh(std::function<void()> refresh) { m_refresh = std::move(refresh); }
    // The window whose controls Tab and the arrow keys move between, as in a dialog.
    void setKeyboardWindow(HWND window) { m_keyboardWindow = window; }

    void yieldToEvents() override;

    // Waits for the next message and handles it, until the program is asked to quit
    // (WM_QUIT, taken here or inside a yield): then its exit code.
    int run();

private:
    void dispatch(MSG& message);
    void refresh() const;

    std::chrono::milliseconds m_interval;
    std::optional<std::chrono::steady_clock::time_point> m_lastRound;
    std::function<void()> m_refresh;
    HWND m_keyboardWindow = nullptr;
    std::optional<int> m_quit;
};

} // namespace trawlmeter::win32
