#pragma once

#include "support/ForwardingVfs.h"

#include <atomic>
#include <limits>

namespace trawlmeter::testing {

// The system's SQLite file layer with one fault: from the Nth write on (counted over every
// file, journals included) each write fails with `code`, as on a disk that filled up. It is
// the default layer while it lives, so every database opened meanwhile goes through it.
class FaultyVfs : public ForwardingVfs {
public:
    FaultyVfs() : ForwardingVfs("trawlmeter-faulty") {}

    void failFrom(long write, int code = SQLITE_FULL) {
        m_failFrom = m_writes + write;
        m_code = code;
    }
    // From now on every commit is refused: each write into a write-ahead log fails, other
    // files' go through, so a transaction is refused when it commits, not before, and a
    // change of journal still goes.
    void failDatabaseWrites(int code = SQLITE_FULL) {
        m_logOnly = true;
        failFrom(1, code);
    }
    // The disk has room again.
    void heal() {
        m_failFrom = std::numeric_limits<long>::max();
        m_logOnly = false;
    }
    long writes() const { return m_writes; }

private:
    int write(File& file, const void* data, int amount, sqlite3_int64 offset) override;

    // Written by the thread that stores visits, set by the test's.
    std::atomic<long> m_writes = 0;
    std::atomic<long> m_failFrom = std::numeric_limits<long>::max();
    std::atomic<int> m_code = SQLITE_FULL;
    std::atomic<bool> m_logOnly = false;
};

} // namespace trawlmeter::testing
