#include "platform/LocalTime.h"

namespace trawlmeter {

std::tm localTime(std::time_t time) {
    std::tm local{};
    // Unlike std::localtime, it shares no buffer with another caller.
    (void)localtime_r(&time, &local);
    return local;
}

} // namespace trawlmeter
