#include "platform/LocalTime.h"

#include <time.h>

namespace trawlmeter {

std::tm localTime(std::time_t time) {
    std::tm local{};
    // Unlike std::localtime, it shares no buffer with another caller.
    (void)localtime_s(&local, &time);
    return local;
}

long utcOffsetSeconds(std::time_t time) {
    std::tm local = localTime(time);
    // The local calendar time read as if it were UTC, less the time itself.
    const std::time_t asUtc = _mkgmtime(&local);
    return asUtc == static_cast<std::time_t>(-1) ? 0 : static_cast<long>(asUtc - time);
}

} // namespace trawlmeter
