#include "win32/WindowProgram.h"

#include <exception>

#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    // What escaped the handlers still ends the program with a word and a failing status.
    try {
        return trawlmeter::win32::runWindowProgram(showCommand);
    } catch (const std::exception& exception) {
        trawlmeter::win32::showFatalFailure(exception.what());
    } catch (...) {
        trawlmeter::win32::showFatalFailure("an unknown failure");
    }
    return 1;
}
