#pragma once

#include <signal.h>

#include <optional>

namespace trawlmeter {

// Holds SIGINT, SIGTERM and SIGHUP back while the object lives, so that they reach the program
// as requests it takes when it is ready (a run then ends as a closed window ends it) instead
// of ending the process on the spot. One per process, on its only thread.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The number of a stop signal that has arrived, taking it; nothing when none has.
    [[nodiscard]] std::optional<int> take();

private:
    sigset_t m_stopSet{};
    sigset_t m_previous{};
};

} // namespace trawlmeter
