#pragma once

namespace trawlmeter {

// True when the program's standard error stream goes to a terminal, where a progress line
// that redraws itself can be read.
bool standardErrorIsTerminal();

} // namespace trawlmeter
