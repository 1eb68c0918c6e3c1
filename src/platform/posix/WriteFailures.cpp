#include "platform/WriteFailures.h"

#include <cerrno>

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

} // namespace trawlmeter
