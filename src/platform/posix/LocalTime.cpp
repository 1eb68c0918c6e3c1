#include "platform/LocalTime.h"

namespace trawlmeter {

std::tm localTime(std::time_t time) {
    std::tm local{};
    // Unlike std::localtime, it shares no buffer with another caller.
    (void)localtime_r(&time, &local);
    return local;
}

long utcOffsetSeconds(std::time_t time) {
    return localTime(time).tm_gmtoff;
}

} // namespace trawlmeter
