#include "batch/BatchCommand.h"
#include "platform/ProgramArguments.h"
#include "platform/ProgramFolder.h"
#include "platform/StopSignals.h"
#include "platform/Terminal.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const trawlmeter::Utf8Console console;
    trawlmeter::StopSignals signals;
    const std::vector<std::string> arguments = trawlmeter::programArguments(argc, argv);
    const trawlmeter::batch::BatchStreams streams{std::cout, std::cerr,
                                                  trawlmeter::standardErrorIsTerminal(), &signals};
    return trawlmeter::batch::runBatch(arguments, trawlmeter::executableFolder(), streams);
}
