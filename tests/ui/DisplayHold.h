#pragma once

struct xcb_connection_t;

namespace trawlmeter::ui::testing {

// Xvfb resets itself whenever its last client leaves and refuses connections while it does;
// with test programs starting and ending side by side that moment comes now and then. This
// waits (up to a few seconds) until the display takes a connection and keeps it open, so the
// server cannot reset before the application has connected too. Does nothing without libxcb.
class DisplayHold {
public:
    DisplayHold();
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

private:
    void* m_library = nullptr;
    xcb_connection_t* m_connection = nullptr;
    void (*m_disconnect)(xcb_connection_t*) = nullptr;
};

} // namespace trawlmeter::ui::testing
