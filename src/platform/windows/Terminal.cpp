#include "platform/Terminal.h"

#include <windows.h>

namespace trawlmeter {

bool standardErrorIsTerminal() {
    // A console answers for its mode; a file or a pipe does not.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

Utf8Console::Utf8Console() {
    // Without a console (output to a file or a pipe) the code page is 0 and nothing changes:
    // the bytes go out as the UTF-8 they are.
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        m_previous = current;
    }
}

Utf8Console::~Utf8Console() {
    // The console outlives the program: cmd.exe gets its own code page back.
    if (m_previous != 0) {
        (void)SetConsoleOutputCP(m_previous);
    }
}

} // namespace trawlmeter
