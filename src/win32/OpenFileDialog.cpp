#include "win32/OpenFileDialog.h"

#include <algorithm>
#include <vector>

#include <commdlg.h>

#include "platform/windows/WideText.h"

namespace trawlmeter::win32 {
namespace {
// Room for a path past the classic limit of 260 characters.
constexpr std::size_t kPathRoom = 32768;
} // namespace

std::wstring dialogFilter(const std::string& filter) {
    std::wstring text = windows::wideText(filter);
    std::replace(text.begin(), text.end(), L'|', L'\0');
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

std::optional<std::string> OpenFileDialog::chooseFileToOpen(const std::string& filter) {
    const std::wstring filters = dialogFilter(filter);
    std::vector<wchar_t> file(kPathRoom, L'\0');
    std::copy_n(m_lastChosen.begin(), std::min(m_lastChosen.size(), kPathRoom - 1), file.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // The program's current folder stays where it was: paths typed later mean the same.
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                   OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
    if (GetOpenFileNameW(&dialog) == FALSE) {
        // A cancel, or a dialog that could not open: either way nothing was chosen.
        return std::nullopt;
    }
    m_lastChosen = file.data();
    return windows::utf8Text(m_lastChosen);
}

} // namespace trawlmeter::win32
