#pragma once

#include <string_view>

namespace trawlmeter::win32 {

// The window program: wires Windows' services to the window model, runs the load, shows the
// window (as `showCommand` asks) and handles messages until the window has been closed, or a
// stop closed it (Ctrl+C or a closed console where the program has one, the end of the
// Windows session): then 128 + the signal's number, as the other programs end.
int runWindowProgram(int showCommand);

// Says in a message box that the program ends on an unexpected failure.
void showFatalFailure(std::string_view what);

} // namespace trawlmeter::win32
