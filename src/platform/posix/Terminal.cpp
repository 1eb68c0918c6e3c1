#include "platform/Terminal.h"

#include <unistd.h>

namespace trawlmeter {

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

} // namespace trawlmeter
