#include "verify/VerdictCache.h"

#include "platform/AsciiCase.h"
#include "platform/VerificationProblem.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <vector>

namespace trawlmeter::verify {
namespace {

constexpr std::array<std::string_view, 5> kColumns{"address", "engine", "verdict", "host", "date"};

constexpr const char* kCreateSql = "CREATE TABLE IF NOT EXISTS verdicts ("
                                   "address TEXT NOT NULL, "
                                   "engine TEXT NOT NULL, "
                                   "verdict TEXT NOT NULL, "
                                   "host TEXT, "
                                   "date TEXT NOT NULL, "
                                   "PRIMARY KEY (address, engine))";

// A row is removed before its replacement goes in, so that a table someone made without the
// key still holds one row per address and engine.
constexpr std::string_view kDeleteSql = "DELETE FROM verdicts WHERE address = ?1 AND engine = ?2";
constexpr std::string_view kInsertSql =
    "INSERT INTO verdicts (address, engine, verdict, host, date) "
    "VALUES (?1, ?2, ?3, nullif(?4, ''), strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))";

constexpr std::string_view kLoadSql =
    "SELECT address, verdict, coalesce(host, ''), coalesce(date, '') FROM verdicts "
    "WHERE engine = ?1";

// How long a write waits for another program's lock.
constexpr int kBusyMilliseconds = 2000;

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(const sqlite::Connection& connection) : m_connection(connection) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (m_open) {
            (void)m_connection.execute("ROLLBACK");
        }
    }
    bool begin() { return m_open = m_connection.execute("BEGIN IMMEDIATE"); }
    bool commit() {
        if (!m_connection.execute("COMMIT")) {
            return false;
        }
        m_open = false;
        return true;
    }

private:
    const sqlite::Connection& m_connection;
    bool m_open = false;
};

} // namespace

tl::unexpected<Failure> VerdictCache::sqliteFailure() const {
    sqlite3* handle = m_connection.get();
    return fail(sqliteError(handle ? sqlite3_extended_errcode(handle) : SQLITE_MISUSE), m_path,
                m_connection.lastError());
}

Expected<VerdictCache> VerdictCache::open(const std::string& databasePath) {
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(databasePath.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    // The handle owns what SQLite allocated even when the open failed.
    VerdictCache cache(sqlite::Connection(handle), databasePath);
    if (opened != SQLITE_OK) {
        return cache.sqliteFailure();
    }
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, kBusyMilliseconds);
    // Reading the schema proves the file is a database before anything is written to it.
    if (!cache.m_connection.execute("SELECT count(*) FROM sqlite_master")) {
        return cache.sqliteFailure();
    }
    if (cache.m_connection.isReadOnly()) {
        return fail(sqliteError(SQLITE_READONLY), databasePath);
    }
    if (!cache.m_connection.execute(kCreateSql)) {
        return cache.sqliteFailure();
    }
    sqlite::Statement columns(cache.m_connection, "SELECT name FROM pragma_table_info(?1)");
    if (!columns || !columns.bindText(1, kVerdictTable)) {
        return cache.sqliteFailure();
    }
    std::vector<std::string> present;
    while (columns.stepRow()) {
        present.emplace_back(columns.columnText(0));
    }
    for (const auto column : kColumns) {
        if (std::none_of(present.begin(), present.end(), [&](const std::string& name) {
                return equalsIgnoringAsciiCase(name, column);
            })) {
            return fail(VerificationProblem::UnusableVerdictTable, std::string(kVerdictTable),
                        std::string(column));
        }
    }
    return cache;
}

Expected<std::unordered_map<std::string, CachedVerdict>>
VerdictCache::load(std::string_view table) {
    sqlite::Statement query(m_connection, kLoadSql);
    if (!query || !query.bindText(1, table)) {
        return sqliteFailure();
    }
    std::unordered_map<std::string, CachedVerdict> verdicts;
    while (query.stepRow()) {
        if (const auto verdict = verdictNamed(query.columnText(1))) {
            verdicts[std::string(query.columnText(0))] = {
                *verdict, std::string(query.columnText(2)), std::string(query.columnText(3))};
        }
    }
    // The reset tells a failed step from the end of the rows.
    if (!query.reset()) {
        return sqliteFailure();
    }
    return verdicts;
}

Expected<void> VerdictCache::store(std::string_view table, std::span<const KeptVerdict> verdicts) {
    Transaction transaction(m_connection);
    sqlite::Statement remove(m_connection, kDeleteSql);
    sqlite::Statement insert(m_connection, kInsertSql);
    if (!remove || !insert || !transaction.begin()) {
        return sqliteFailure();
    }
    for (const auto& kept : verdicts) {
        const bool removed = remove.bindText(1, kept.client) && remove.bindText(2, table) &&
                             remove.stepDone() && remove.reset();
        const bool inserted = removed && insert.bindText(1, kept.client) &&
                              insert.bindText(2, table) &&
                              insert.bindText(3, verdictName(kept.verdict)) &&
                              insert.bindText(4, kept.host) && insert.stepDone() && insert.reset();
        if (!inserted) {
            return sqliteFailure();
        }
    }
    if (!transaction.commit()) {
        return sqliteFailure();
    }
    return {};
}

} // namespace trawlmeter::verify
