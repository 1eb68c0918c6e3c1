#include "win32/EditMenu.h"

#include <array>

namespace trawlmeter::win32 {
namespace {

// Each entry is the message it sends to the box; select all is EM_SETSEL over the whole text.
enum class Needs { Undo, Selection, WritableSelection, WritableClipboard, Text };

struct EditEntry {
    UINT message;
    const wchar_t* caption;
    Needs needs;
};

// The captions of the system's own menu of a text box on a Simplified Chinese Windows.
constexpr std::array kEntries{
    EditEntry{WM_UNDO, L"撤消(&U)", Needs::Undo},
    EditEntry{WM_CUT, L"剪切(&T)", Needs::WritableSelection},
    EditEntry{WM_COPY, L"复制(&C)", Needs::Selection},
    EditEntry{WM_PASTE, L"粘贴(&P)", Needs::WritableClipboard},
    EditEntry{WM_CLEAR, L"删除(&D)", Needs::WritableSelection},
    EditEntry{EM_SETSEL, L"全选(&A)", Needs::Text},
};

bool available(HWND box, Needs needs) {
    const bool writable = (GetWindowLongPtrW(box, GWL_STYLE) & ES_READONLY) == 0;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selection = start != end;
    switch (needs) {
    case Needs::Undo:
        return writable && SendMessageW(box, EM_CANUNDO, 0, 0) != 0;
    case Needs::Selection:
        return selection;
    case Needs::WritableSelection:
        return writable && selection;
    case Needs::WritableClipboard:
        return writable && IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
    case Needs::Text:
        return GetWindowTextLengthW(box) > 0;
    }
    return false;
}

} // namespace

void appendEditEntries(HMENU menu, HWND textBox) {
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        const EditEntry& entry = kEntries[i];
        const auto state =
            static_cast<UINT>(available(textBox, entry.needs) ? MF_ENABLED : MF_GRAYED);
        (void)AppendMenuW(menu, MF_STRING | state, entry.message, entry.caption);
        // The system's menu separates undo from the rest and select all from the others.
        if (i == 0 || i + 2 == kEntries.size()) {
            (void)AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        }
    }
}

bool runEditEntry(HWND textBox, UINT id) {
    for (const EditEntry& entry : kEntries) {
        if (entry.message == id) {
            if (id == EM_SETSEL) {
                SendMessageW(textBox, EM_SETSEL, 0, -1);
            } else {
                SendMessageW(textBox, id, 0, 0);
            }
            return true;
        }
    }
    return false;
}

} // namespace trawlmeter::win32
