#include "support/FaultyVfs.h"

namespace trawlmeter::testing {

int FaultyVfs::write(File& file, const void* data, int amount, sqlite3_int64 offset) {
    const bool counted = !m_logOnly || (file.flags & SQLITE_OPEN_WAL) != 0;
    if (counted && ++m_writes >= m_failFrom) {
        return m_code;
    }
    return systemWrite(file, data, amount, offset);
}

} // namespace trawlmeter::testing
