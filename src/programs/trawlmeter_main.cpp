#include "ui/DesktopProgram.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    // What escaped the handlers still ends the program with a word and a failing status.
    try {
        return trawlmeter::ui::runDesktopProgram(argc, argv);
    } catch (const std::exception& exception) {
        std::cerr << "trawlmeter: " << exception.what() << '\n';
    } catch (...) {
        std::cerr << "trawlmeter: an unknown failure\n";
    }
    return 1;
}
