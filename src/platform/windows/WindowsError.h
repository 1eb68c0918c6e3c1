#pragma once

#include <string>
#include <system_error>

#include "platform/Failure.h"

namespace trawlmeter::windows {

// A Windows error code (GetLastError's) as an error code. The ones the program decides upon
// (a missing file, a refusal, a full disk, a name that is taken...) become the portable codes
// the POSIX build gives for the same, so that callers and their tests see one code on both
// systems; the others keep Windows' code and words, and still compare equal to their nearest
// std::errc.
std::error_code errorOf(unsigned long code);

// The same for the calling thread's last error.
std::error_code lastError();

// A failure of the last call about `subject`.
[[nodiscard]] tl::unexpected<Failure> lastFailure(std::string subject);

} // namespace trawlmeter::windows
