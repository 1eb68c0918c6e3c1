#pragma once

#include <ctime>

namespace trawlmeter {

// The calendar time of `time` in the local time zone, with its offset from UTC.
std::tm localTime(std::time_t time);

} // namespace trawlmeter
