#include "platform/Terminal.h"

#include <unistd.h>

namespace trawlmeter {

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace trawlmeter
