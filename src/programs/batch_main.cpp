#include "batch/BatchCommand.h"
#include "platform/Failure.h"
#include "platform/ProgramArguments.h"
#include "platform/ProgramFolder.h"
#include "platform/StopSignals.h"
#include "platform/Terminal.h"
#include "platform/WriteFailures.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    trawlmeter::failWritesInsteadOfDying();
    std::ios::sync_with_stdio(false);
    const trawlmeter::Utf8Console console;
    trawlmeter::StopSignals signals;
    // What the runs did not catch themselves (memory that ran out outside a run) still ends
    // the program with its reason and a failing status; a run in hand has ended already.
    try {
        const std::vector<std::string> arguments = trawlmeter::programArguments(argc, argv);
        const trawlmeter::batch::BatchStreams streams{
            std::cout, std::cerr, trawlmeter::standardErrorIsTerminal(), &signals};
        return trawlmeter::batch::runBatch(arguments, trawlmeter::executableFolder(), streams);
    } catch (const std::exception& exception) {
        const trawlmeter::Failure failure = trawlmeter::failureOf(exception);
        std::cerr << "trawlmeter-batch: "
                  << (failure.detail.empty() ? failure.code.message() : failure.detail) << '\n';
    } catch (...) {
        std::cerr << "trawlmeter-batch: an unknown failure\n";
    }
    return trawlmeter::batch::exit_status::kRunFailed;
}
