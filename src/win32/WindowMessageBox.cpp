#include "win32/WindowMessageBox.h"

#include "platform/windows/WideText.h"

namespace trawlmeter::win32 {

void WindowMessageBox::showMessage(const std::string& prompt, int style, const std::string& title) {
    const UINT icon = static_cast<UINT>(style) & MB_ICONMASK;
    // A box that stands alone comes to the front: no window of the program is there yet.
    const UINT placement = m_owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL | MB_SETFOREGROUND;
    (void)MessageBoxW(m_owner, windows::wideText(prompt).c_str(), windows::wideText(title).c_str(),
                      MB_OK | icon | placement);
}

} // namespace trawlmeter::win32
