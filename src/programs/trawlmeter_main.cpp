#include "ui/DesktopProgram.h"

int main(int argc, char** argv) {
    return trawlmeter::ui::runDesktopProgram(argc, argv);
}
