#pragma once

#include <ctime>

namespace trawlmeter {

// The calendar time of `time` in the local time zone.
std::tm localTime(std::time_t time);

// How far the local time zone is ahead of UTC at `time`, in seconds (negative west of UTC).
long utcOffsetSeconds(std::time_t time);

} // namespace trawlmeter
