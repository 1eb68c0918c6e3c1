#pragma once

#include "platform/Ports.h"

#include <string>

#include <windows.h>

namespace trawlmeter::win32 {

// The modal file-open dialog of Windows. It shows the filters in the given order with the
// first one selected, opens on the file chosen last (in its folder) and returns the chosen
// file's full path, or nothing on a cancel.
class OpenFileDialog : public FileDialogPort {
public:
    void setOwner(HWND owner) { m_owner = owner; }
    std::optional<std::string> chooseFileToOpen(const std::string& filter) override;

private:
    HWND m_owner = nullptr;
    std::wstring m_lastChosen;
};

// The filter text the dialog takes: each "|" of `filter` a NUL, the whole ended by two.
std::wstring dialogFilter(const std::string& filter);

} // namespace trawlmeter::win32
