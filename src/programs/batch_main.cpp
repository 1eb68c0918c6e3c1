#include "batch/BatchCommand.h"
#include "platform/ProgramFolder.h"
#include "platform/StopSignals.h"

#include <unistd.h>

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    trawlmeter::StopSignals signals;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const trawlmeter::batch::BatchStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) == 1,
                                                  &signals};
    return trawlmeter::batch::runBatch(arguments, trawlmeter::executableFolder(), streams);
}
