#pragma once

namespace trawlmeter::ui {

// The window program: wires the desktop's services to the window model, runs the load,
// shows the window and handles events until the window has been closed, or a stop signal
// (INT, TERM, HUP) closed it: then 128 + the signal's number.
int runDesktopProgram(int argc, char** argv);

} // namespace trawlmeter::ui
