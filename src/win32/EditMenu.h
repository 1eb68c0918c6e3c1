#pragma once

#include <windows.h>

namespace trawlmeter::win32 {

// The standard entries of a text box's context menu (undo, cut, copy, paste, delete, select
// all), enabled as the box's state allows. Each entry's identifier is the message it sends to
// the box.
void appendEditEntries(HMENU menu, HWND textBox);
// Carries out the entry `id` on the box; false when `id` is none of them.
bool runEditEntry(HWND textBox, UINT id);

} // namespace trawlmeter::win32
