#pragma once

#include "platform/Failure.h"
#include "platform/File.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace trawlmeter::logs {

// Inflates a gzip file as `gzip -t` checks it: members one after another, each against the
// CRC-32 and length of its own trailer; zero bytes after the last member (as tape and dd leave)
// are padding. What gzip -t refuses fails with its reason: a file that is no gzip, damage, a
// trailer that does not match, a file cut short. Anything else after the last member, which
// gzip -t only warns about, fails too: it may be a member whose header was damaged.
class GzipInflater {
public:
    // Reads from `file`, which must outlive the inflater.
    explicit GzipInflater(File& file);
    GzipInflater(GzipInflater&&) noexcept;
    ~GzipInflater();

    // Fills `out` with the next inflated bytes: how many, 0 only at the end. Once failed it
    // keeps failing the same way.
    [[nodiscard]] Expected<std::size_t> read(std::span<char> out);

private:
    struct Stream;

    // Keeps the bytes not yet inflated at the front and reads more after them; false at the
    // end of the file.
    [[nodiscard]] Expected<bool> refill();
    // After a member's end: whether another member follows (its inflation set up), or only
    // zero padding up to the end.
    [[nodiscard]] Expected<bool> nextMember();
    tl::unexpected<Failure> failWith(Failure failure);
    // Inflates into the stream's output space; what it filled counts even when it fails.
    [[nodiscard]] Expected<std::size_t> inflateInto();

    File* m_file;
    std::unique_ptr<Stream> m_stream;
    std::vector<char> m_input;
    bool m_fileEnded = false;
    bool m_betweenMembers = false;
    bool m_ended = false;
    bool m_started = false;
    std::optional<Failure> m_failure;
};

} // namespace trawlmeter::logs
