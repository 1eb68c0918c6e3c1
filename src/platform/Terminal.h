#pragma once

namespace trawlmeter {

// True when the program's standard error stream goes to a terminal, where a progress line
// that redraws itself can be read.
bool standardErrorIsTerminal();

// While it lives, a console the program writes to shows its UTF-8 text (the Chinese messages
// among it) as text: a Windows console is switched to the UTF-8 output code page and switched
// back after; terminals elsewhere take UTF-8 as it is.
class Utf8Console {
public:
    Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
    ~Utf8Console();

private:
    unsigned m_previous = 0; // the code page to put back; 0 for none
};

} // namespace trawlmeter
