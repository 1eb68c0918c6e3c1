#include "verify/VerdictCache.h"

#include "platform/AsciiCase.h"
#include "platform/Problem.h"

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
    [[nodiscard]] Expected<void> begin() {
        auto begun = m_connection.execute("BEGIN IMMEDIATE");
        m_open = begun.has_value();
        return begun;
    }
    [[nodiscard]] Expected<void> commit() {
        auto committed = m_connection.execute("COMMIT");
        if (committed) {
            m_open = false;
        }
        return committed;
    }

private:
    const sqlite::Connection& m_connection;
    bool m_open = false;
};

} // namespace

Expected<VerdictCache> VerdictCache::open(const std::string& databasePath) {
    auto connection = sqlite::Connection::openExisting(databasePath);
    if (!connection) {
        return tl::unexpected(std::move(connection.error()));
    }
    VerdictCache cache(std::move(*connection), databasePath);
    sqlite3_busy_timeout(cache.m_connection.get(), kBusyMilliseconds);
    // Reading the schema proves the file is a database before anything is written to it.
    if (auto read = cache.m_connection.execute("SELECT count(*) FROM sqlite_master"); !read) {
        return failAbout(std::move(read.error()), databasePath);
    }
    if (cache.m_connection.isReadOnly()) {
        return fail(sqliteError(SQLITE_READONLY), databasePath);
    }
    if (auto created = cache.m_connection.execute(kCreateSql); !created) {
        return failAbout(std::move(created.error()), databasePath);
    }
    auto columns =
        sqlite::Statement::prepare(cache.m_connection, "SELECT name FROM pragma_table_info(?1)");
    if (!columns) {
        return failAbout(std::move(columns.error()), databasePath);
    }
    if (auto bound = columns->bindText(1, kVerdictTable); !bound) {
        return failAbout(std::move(bound.error()), databasePath);
    }
    std::vector<std::string> present;
    for (;;) {
        auto row = columns->step();
        if (!row) {
            return failAbout(std::move(row.error()), databasePath);
        }
        if (!*row) {
            break;
        }
        present.emplace_back(columns->columnText(0));
    }
    for (const auto column : kColumns) {
        if (std::none_of(present.begin(), present.end(), [&](const std::string& name) {
                return equalsIgnoringAsciiCase(name, column);
            })) {
            return fail(Problem::UnusableVerdictTable, std::string(kVerdictTable),
                        std::string(column));
        }
    }
    return cache;
}

Expected<std::unordered_map<std::string, CachedVerdict>>
VerdictCache::load(std::string_view table) {
    auto query = sqlite::Statement::prepare(m_connection, kLoadSql);
    if (!query) {
        return failAbout(std::move(query.error()), m_path);
    }
    if (auto bound = query->bindText(1, table); !bound) {
        return failAbout(std::move(bound.error()), m_path);
    }
    std::unordered_map<std::string, CachedVerdict> verdicts;
    for (;;) {
        auto row = query->step();
        if (!row) {
            return failAbout(std::move(row.error()), m_path);
        }
        if (!*row) {
            break;
        }
        if (const auto verdict = verdictNamed(query->columnText(1))) {
            verdicts[std::string(query->columnText(0))] = {
                *verdict, std::string(query->columnText(2)), std::string(query->columnText(3))};
        }
    }
    return verdicts;
}

namespace {

// Runs a statement that gives no rows, then readies it for the next run.
Expected<void> runOnce(sqlite::Statement& statement) {
    auto done = statement.step();
    statement.reset();
    if (!done) {
        return tl::unexpected(std::move(done.error()));
    }
    return {};
}

Expected<void> keep(sqlite::Statement& remove, sqlite::Statement& insert, std::string_view table,
                    const KeptVerdict& kept) {
    return remove.bindText(1, kept.client)
        .and_then([&] { return remove.bindText(2, table); })
        .and_then([&] { return runOnce(remove); })
        .and_then([&] { return insert.bindText(1, kept.client); })
        .and_then([&] { return insert.bindText(2, table); })
        .and_then([&] { return insert.bindText(3, verdictName(kept.verdict)); })
        .and_then([&] { return insert.bindText(4, kept.host); })
        .and_then([&] { return runOnce(insert); });
}

} // namespace

Expected<void> VerdictCache::store(std::string_view table, std::span<const KeptVerdict> verdicts) {
    Transaction transaction(m_connection);
    auto remove = sqlite::Statement::prepare(m_connection, kDeleteSql);
    auto insert = sqlite::Statement::prepare(m_connection, kInsertSql);
    Expected<void> kept;
    if (!remove) {
        kept = tl::unexpected(std::move(remove.error()));
    } else if (!insert) {
        kept = tl::unexpected(std::move(insert.error()));
    } else {
        kept = transaction.begin();
    }
    for (std::size_t i = 0; kept && i < verdicts.size(); ++i) {
        kept = keep(*remove, *insert, table, verdicts[i]);
    }
    if (kept) {
        kept = transaction.commit();
    }
    if (!kept) {
        return failAbout(std::move(kept.error()), m_path);
    }
    return {};
}

} // namespace trawlmeter::verify
