#include "win32/WindowEventLoop.h"

namespace trawlmeter::win32 {

void WindowEventLoop::yieldToEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (m_lastRound && now - *m_lastRound < m_interval) {
        return;
    }
    refresh();
    MSG message;
    while (!m_quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (message.message == WM_QUIT) {
            // Taken by the loop once the handler that yields has returned.
            m_quit = static_cast<int>(message.wParam);
            break;
        }
        dispatch(message);
    }
    refresh();
    // Counted from the end of the round, so a modal dialog opened inside it does not make the
    // next yield handle messages again at once.
    m_lastRound = std::chrono::steady_clock::now();
}

int WindowEventLoop::run() {
    MSG message;
    while (!m_quit) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            m_quit = static_cast<int>(message.wParam);
        } else if (got < 0) {
            // Only an invalid window handle makes it fail, which is not ours to pass.
            m_quit = 1;
        } else {
            dispatch(message);
        }
    }
    return *m_quit;
}

void WindowEventLoop::dispatch(MSG& message) {
    if (m_keyboardWindow != nullptr && IsWindow(m_keyboardWindow) != FALSE &&
        IsDialogMessageW(m_keyboardWindow, &message) != FALSE) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void WindowEventLoop::refresh() const {
    if (m_refresh) {
        m_refresh();
    }
}

} // namespace trawlmeter::win32
