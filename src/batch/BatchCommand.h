#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace trawlmeter {
class StopSignals;
} // namespace trawlmeter

namespace trawlmeter::batch {

struct BatchStreams {
    std::ostream& out;
    std::ostream& err;
    // Draw a progress line on `err` (only when it is a terminal).
    bool showProgress;
    // Where SIGINT, SIGTERM and SIGHUP wait to be taken; null when they are not taken.
    StopSignals* signals = nullptr;
};

// The exit statuses of trawlmeter-batch.
namespace exit_status {
inline constexpr int kFinished = 0;
inline constexpr int kLogUnreadable = 1;
inline constexpr int kUnusableDatabaseOrArguments = 2;
inline constexpr int kRunFailed = 3;
inline constexpr int kSignalBase = 128;
} // namespace exit_status

// Analyses logs over the window model without a display, as
// `trawlmeter-batch [--folder DIR] [--] LOG...`: each log is one run, exactly as if it had been
// chosen and analysed in the window, and the six counters are printed once at the end.
// `defaultFolder` is the program folder used without --folder. The window's messages go to
// `err`, one line each, and every status but 0 comes with its reason there.
int runBatch(const std::vector<std::string>& arguments, const std::string& defaultFolder,
             BatchStreams streams);

} // namespace trawlmeter::batch
