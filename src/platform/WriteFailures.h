#pragma once

#include <iosfwd>
#include <system_error>

namespace trawlmeter {

// Makes the writes that would end the process on the spot fail with their reason instead, so
// that they are reported and cleaned up after like any other failure: a write to a pipe that
// nobody reads any more (EPIPE) or past the file-size limit (EFBIG). A standard stream the
// process was started without is taken by a file that refuses writes, so that no file the
// program opens later takes its place and a write to it fails (EBADF) instead of landing there.
// For the whole process: call it first in main, before any thread starts.
void failWritesInsteadOfDying();

// Flushes `stream`, a standard stream, and gives why it takes no more output once a write to
// it failed: the system's reason where the failed write left it (EPIPE, ENOSPC, EBADF, EFBIG),
// else an input/output error. Nothing while it works.
[[nodiscard]] std::error_code flushStandardStream(std::ostream& stream);

} // namespace trawlmeter
