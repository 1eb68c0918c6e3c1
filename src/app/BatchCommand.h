#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace trawlmeter {

struct BatchStreams {
    std::ostream& out;
    std::ostream& err;
    // Draw a progress bar on `err` (only when it is a terminal).
    bool showProgress;
};

// Runs one analysis of a log over the window model without a display, as
// `trawlmeter-batch [--folder DIR] LOG`. `defaultFolder` is the program folder used without
// --folder. Prints the six counters at the end; the window's messages go to `err`.
// Returns 0 on success, 1 when the run showed a message (missing log), 2 for a missing or
// unusable database or bad arguments.
int runBatch(const std::vector<std::string>& arguments, const std::string& defaultFolder,
             BatchStreams streams);

} // namespace trawlmeter
