#pragma once

#include <optional>
#include <string_view>

namespace trawlmeter::verify {

// Whether a client address that signed as an engine's crawler is the engine's.
enum class Verdict {
    // In the engine's published ranges, or its reverse and forward look-ups agree on a host
    // under the engine's domains.
    Verified,
    // The DNS answered and the address is not the engine's: no host name, a host outside the
    // domains, or a host whose forward look-up does not give the address back.
    Impostor,
    // Nothing could be decided: no answer in time, no resolver, a failed server.
    Unknown,
};

// "verified", "impostor", "unknown": as the verdict table keeps them.
std::string_view verdictName(Verdict verdict);
// The verdict of that name; nothing for any other text.
std::optional<Verdict> verdictNamed(std::string_view name);

} // namespace trawlmeter::verify
