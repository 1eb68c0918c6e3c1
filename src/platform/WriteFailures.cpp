#include "platform/WriteFailures.h"

#include <cerrno>
#include <ostream>

namespace trawlmeter {

std::error_code flushStandardStream(std::ostream& stream) {
    // The stream reports only that it failed; the reason is what the write it made left.
    const int before = errno;
    errno = 0;
    stream.flush();
    const int reason = errno;
    errno = before;
    if (stream.good()) {
        return {};
    }
    return reason != 0 ? std::error_code(reason, std::generic_category())
                       : std::make_error_code(std::errc::io_error);
}

} // namespace trawlmeter
