#pragma once

#include <memory>
#include <optional>
#include <string_view>

namespace trawlmeter {

// Holds SIGINT, SIGTERM and SIGHUP back while the object lives, so that they reach the program
// as requests it takes when it is ready (a run then ends as a closed window ends it) instead
// of ending the process on the spot. One per process, made before any other thread starts:
// the threads started later hold them back too, and the one that made it takes them. On
// Windows, which has no such signals, Ctrl+C and Ctrl+Break at the console arrive as SIGINT,
// and closing the console, logging off or shutting down as SIGTERM.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The number of a stop signal that has arrived, taking it; nothing when none has.
    [[nodiscard]] std::optional<int> take();

    // The short name of a stop signal ("INT", "TERM", "HUP"); "?" for any other number.
    static std::string_view name(int signal);

private:
    struct Masks;
    std::unique_ptr<Masks> m_masks;
};

} // namespace trawlmeter
