#pragma once

#include "platform/Ports.h"

#include <windows.h>

namespace trawlmeter::win32 {

// The modal message box of Windows. Style 0 is an OK button and no icon; the icon bits 16, 32,
// 48 and 64 pick the critical, question, warning and information icons, as MessageBoxW reads
// them. Only OK is offered.
class WindowMessageBox : public MessageBoxPort {
public:
    // Later boxes belong to `owner`, which they disable while they are open; without one they
    // stand alone (as at load, before the window is shown).
    void setOwner(HWND owner) { m_owner = owner; }
    void showMessage(const std::string& prompt, int style, const std::string& title) override;

private:
    HWND m_owner = nullptr;
};

} // namespace trawlmeter::win32
