#include "platform/WriteFailures.h"

#include <cerrno>
#include <ostream>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace trawlmeter {

void failWritesInsteadOfDying() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    (void)sigaction(SIGPIPE, &ignore, nullptr);
    (void)sigaction(SIGXFSZ, &ignore, nullptr);
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is this one; opened for reading only, it refuses
            // every write. If even that fails, the stream stays closed.
            const int held = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (held != stream && held != -1) {
                (void)close(held);
            }
        }
    }
}

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
