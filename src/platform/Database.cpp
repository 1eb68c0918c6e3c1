#include "platform/Database.h"

#include "platform/AsciiCase.h"
#include "platform/Problem.h"

#include <sqlite3.h>

#include <algorithm>
#include <thread>

namespace trawlmeter::db {
namespace {

// Past this many field combinations a table's inserts are prepared afresh.
constexpr std::size_t kMaxCachedInserts = 64;
constexpr auto kBusyPause = std::chrono::milliseconds(2);

} // namespace

Recordset::Recordset(Database& database, std::string table, std::vector<ColumnInfo> columns)
    : m_database(&database), m_table(std::move(table)), m_columns(std::move(columns)),
      m_values(m_columns.size()), m_assigned(m_columns.size(), false) {}

void Recordset::AddNew() {
    std::fill(m_assigned.begin(), m_assigned.end(), false);
    m_nextColumn = 0;
    m_editing = true;
}

int Recordset::fieldIndex(std::string_view field) const {
    if (m_nextColumn < m_columns.size() && m_columns[m_nextColumn].name == field) {
        return static_cast<int>(m_nextColumn);
    }
    // Callers nearly always spell a field as the table does; that costs one memcmp.
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name == field) {
            return static_cast<int>(i);
        }
    }
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (equalsIgnoringAsciiCase(m_columns[i].name, field)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool Recordset::setField(std::string_view field, std::string_view value) {
    const int index = fieldIndex(field);
    if (!m_editing || index < 0) {
        return false;
    }
    const auto column = static_cast<size_t>(index);
    m_values[column] = value;
    m_assigned[column] = true;
    m_nextColumn = column + 1;
    return true;
}

Expected<sqlite::Statement*> Recordset::insertForAssigned() {
    if (m_lastInsert != nullptr && m_lastAssigned == m_assigned) {
        return m_lastInsert;
    }
    m_lastAssigned = m_assigned;
    m_lastInsert = nullptr;
    if (auto found = m_inserts.find(m_assigned); found != m_inserts.end()) {
        return m_lastInsert = &found->second;
    }
    auto insert = m_database->prepareInsert(m_table, m_columns, m_assigned);
    if (!insert) {
        return failAbout(insert.error(), m_table);
    }
    if (m_inserts.size() >= kMaxCachedInserts) {
        m_inserts.clear();
    }
    return m_lastInsert = &m_inserts.emplace(m_assigned, std::move(*insert)).first->second;
}

Expected<void> Recordset::Update() {
    if (!m_database) {
        return fail(Problem::DatabaseClosed, m_table);
    }
    if (!m_editing) {
        return fail(Problem::NoRecordStarted, m_table);
    }
    m_editing = false;
    auto insert = insertForAssigned();
    if (!insert) {
        return tl::unexpected(insert.error());
    }
    if (auto began = m_database->beginWriting(); !began) {
        return began;
    }
    m_bound.clear();
    for (size_t i = 0; i < m_values.size(); ++i) {
        if (m_assigned[i]) {
            m_bound.push_back(m_values[i]);
        }
    }
    // The values stay untouched until the reset below.
    auto bound = (*insert)->bindTextsUntilReset(m_bound);
    auto written = bound ? (*insert)->step() : tl::unexpected(bound.error());
    (*insert)->reset();
    if (!written) {
        return failAbout(written.error(), m_table);
    }
    // A trigger's RAISE(IGNORE) ends the insert as done with no row written: a record lost
    // without a word unless it is counted here.
    if (m_database->m_connection.changes() != 1) {
        return fail(Problem::RecordIgnored, m_table);
    }
    return {};
}

void Recordset::Close() {
    m_editing = false;
}

void Recordset::detach() {
    m_lastInsert = nullptr;
    m_inserts.clear();
    m_database = nullptr;
    m_editing = false;
}

Database::Database(sqlite::Connection connection, std::string path)
    : m_connection(std::move(connection)), m_path(std::move(path)) {
    sqlite3_busy_handler(m_connection.get(), &Database::onBusy, this);
}

Database::~Database() {
    (void)Close();
}

void Database::setBusyWait(std::chrono::milliseconds limit, std::function<void()> whileWaiting) {
    m_busyLimit = limit;
    m_whileBusy = std::move(whileWaiting);
}

int Database::onBusy(void* database, int attempts) {
    auto& self = *static_cast<Database*>(database);
    const auto now = std::chrono::steady_clock::now();
    if (attempts == 0) {
        self.m_busySince = now;
    }
    if (now - self.m_busySince >= self.m_busyLimit) {
        return 0;
    }
    if (self.m_whileBusy) {
        self.m_whileBusy();
    }
    std::this_thread::sleep_for(kBusyPause);
    return 1;
}

Expected<std::unique_ptr<Database>> Database::open(const std::string& path) {
    auto connection = sqlite::Connection::openExisting(path);
    if (!connection) {
        return tl::unexpected(connection.error());
    }
    // Opening is lazy in SQLite: reading the schema is what proves the file is a database.
    if (auto read = connection->execute("SELECT count(*) FROM sqlite_master"); !read) {
        return failAbout(read.error(), path);
    }
    // SQLite falls back to reading only when the file is write-protected; a visit database
    // that takes no records would let a whole run store nothing.
    if (connection->isReadOnly()) {
        return fail(Problem::ReadOnlyDatabase, path);
    }
    return std::unique_ptr<Database>(new Database(std::move(*connection), path));
}

Expected<std::string> Database::textEncoding() const {
    auto encoding = m_connection.queryValue("PRAGMA encoding");
    if (!encoding) {
        return failAbout(std::move(encoding.error()), m_path);
    }
    return encoding;
}

Expected<std::vector<ColumnInfo>> Database::tableColumns(std::string_view table) {
    auto query =
        sqlite::Statement::prepare(m_connection, "SELECT name, \"notnull\", dflt_value IS NOT NULL,"
                                                 " pk = 1 AND upper(type) = 'INTEGER'"
                                                 " FROM pragma_table_info(?1)");
    if (!query) {
        return failAbout(query.error(), std::string(table));
    }
    if (auto bound = query->bindText(1, table); !bound) {
        return failAbout(bound.error(), std::string(table));
    }
    std::vector<ColumnInfo> columns;
    for (;;) {
        auto row = query->step();
        if (!row) {
            return failAbout(row.error(), std::string(table));
        }
        if (!*row) {
            break;
        }
        columns.push_back({std::string(query->columnText(0)), query->columnText(1) == "1",
                           query->columnText(2) == "1", query->columnText(3) == "1"});
    }
    if (columns.empty()) {
        return fail(Problem::NoSuchTable, std::string(table));
    }
    return columns;
}

Expected<long long> Database::schemaVersion() {
    auto query = sqlite::Statement::prepare(m_connection, "PRAGMA schema_version");
    auto row = query ? query->step() : tl::unexpected(query.error());
    if (!row || !*row) {
        return tl::unexpected(row ? failure() : row.error());
    }
    return query->columnInt64(0);
}

Expected<sqlite::Statement> Database::prepareInsert(const std::string& table,
                                                    const std::vector<ColumnInfo>& columns,
                                                    const std::vector<bool>& assigned) {
    // OR ABORT overrides a table's own conflict clause: a refused record must neither roll back
    // the records written before it, nor replace an existing one, nor be ignored.
    std::string sql = "INSERT OR ABORT INTO " + sqlite::quoteIdentifier(table);
    std::string names;
    std::string values;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (assigned[i]) {
            names += (names.empty() ? "" : ", ") + sqlite::quoteIdentifier(columns[i].name);
            values += values.empty() ? "?" : ", ?";
        }
    }
    sql += names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + values + ")";
    return sqlite::Statement::prepare(m_connection, sql);
}

Expected<std::shared_ptr<Recordset>> Database::OpenRecordset(std::string_view table) {
    if (!m_connection) {
        return fail(Problem::DatabaseClosed, std::string(table));
    }
    // Another program that added or dropped a table makes every table be read afresh; the
    // recordsets handed out before refuse their writes from then on. While this connection
    // writes it holds the write lock, and no other program can change a table.
    if (!m_connection.inTransaction()) {
        auto version = schemaVersion();
        if (!version) {
            return failAbout(version.error(), std::string(table));
        }
        if (*version != m_schemaVersion) {
            for (auto& [name, recordset] : m_recordsets) {
                if (recordset) {
                    recordset->detach();
                }
            }
            m_recordsets.clear();
            m_schemaVersion = *version;
        }
    }
    const std::string key = asciiLowered(table);
    auto found = m_recordsets.find(key);
    if (found == m_recordsets.end()) {
        found = m_recordsets.emplace(key, openTable(table)).first;
    }
    if (!found->second) {
        return fail(Problem::NoSuchTable, std::string(table));
    }
    return found->second;
}

std::shared_ptr<Recordset> Database::openTable(std::string_view table) {
    auto columns = tableColumns(table);
    if (!columns) {
        return nullptr;
    }
    // A view lists columns too but takes no records: the full insert proves the table.
    const std::vector<bool> allAssigned(columns->size(), true);
    auto insert = prepareInsert(std::string(table), *columns, allAssigned);
    if (!insert) {
        return nullptr;
    }
    std::shared_ptr<Recordset> recordset(
        new Recordset(*this, std::string(table), std::move(*columns)));
    recordset->m_inserts.emplace(allAssigned, std::move(*insert));
    return recordset;
}

Expected<std::string> Database::kindOfName(std::string_view name) {
    if (!m_connection) {
        return fail(Problem::DatabaseClosed, std::string(name));
    }
    auto query = sqlite::Statement::prepare(
        m_connection, "SELECT type FROM sqlite_master WHERE lower(name) = lower(?1)");
    if (!query) {
        return failAbout(query.error(), std::string(name));
    }
    if (auto bound = query->bindText(1, name); !bound) {
        return failAbout(bound.error(), std::string(name));
    }
    auto row = query->step();
    if (!row) {
        return failAbout(row.error(), std::string(name));
    }
    return *row ? std::string(query->columnText(0)) : std::string();
}

Expected<void> Database::createTextTable(std::string_view table,
                                         std::span<const std::string_view> columns) {
    // IF NOT EXISTS would pass over a view of that name too: what holds the name is asked first,
    // and a table that is there already costs no write.
    auto kind = kindOfName(table);
    if (!kind) {
        return tl::unexpected(kind.error());
    }
    if (*kind == "table") {
        return {};
    }
    if (!kind->empty()) {
        return fail(Problem::NotATable, std::string(table), *kind);
    }
    std::string sql = "CREATE TABLE IF NOT EXISTS " + sqlite::quoteIdentifier(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sql += (i == 0 ? "" : ", ") + sqlite::quoteIdentifier(columns[i]) + " TEXT";
    }
    sql += ")";
    if (auto began = beginWriting(); !began) {
        return began;
    }
    if (auto made = m_connection.execute(sql.c_str()); !made) {
        rollback();
        return failAbout(made.error(), std::string(table));
    }
    if (auto committed = commit(); !committed) {
        rollback();
        return committed;
    }
    // It was remembered as missing.
    m_recordsets.erase(asciiLowered(table));
    return {};
}

Expected<void> Database::beginWriting() {
    if (!m_connection) {
        return fail(Problem::DatabaseClosed, m_path);
    }
    if (m_connection.inTransaction()) {
        return {};
    }
    chooseJournal();
    // The write lock is taken here, where a busy database is waited for, rather than at the
    // first insert.
    if (auto began = m_connection.execute("BEGIN IMMEDIATE"); !began) {
        return failAbout(began.error(), m_path);
    }
    return {};
}

void Database::chooseJournal() {
    if (m_journalChosen) {
        return;
    }
    // A write-ahead log: a commit appends its pages to the log without waiting for the disk,
    // the disk catches up at each checkpoint and at the end of a run, and a power cut loses at
    // most the commits since then, whole, never the file. Readers never hold a commit up. The
    // change of mode is itself a commit through the rollback journal, which SQLite makes wait
    // for the disk. Chosen at the first write, so that a file that is only opened and refused
    // stays untouched.
    m_journalChosen = true;
    m_writeAheadLog = m_connection.queryValue("PRAGMA journal_mode=WAL").value_or("") == "wal";
    if (m_writeAheadLog) {
        (void)m_connection.execute("PRAGMA synchronous=NORMAL");
        // A checkpoint waits for the disk twice; every 16 MiB of log rather than SQLite's 4 MiB
        // keeps that from holding up the run.
        (void)m_connection.execute("PRAGMA wal_autocheckpoint=4096");
        return;
    }
    // Where the log cannot be had (a file system without shared memory, or another program
    // that held the file longer than a write waits), each commit waits for the disk, journal
    // first; the journal is kept between commits instead of being made and deleted each time.
    // The next run tries the log again.
    (void)m_connection.execute("PRAGMA journal_mode=PERSIST");
    (void)m_connection.execute("PRAGMA synchronous=FULL");
}

void Database::leaveWriteAheadLog() {
    if (!m_writeAheadLog) {
        return;
    }
    // Leaving the log checkpoints it and removes it, waiting for the disk at each step, so the
    // file alone holds every record. Another program that still has the file open keeps it in
    // the log, which is as safe.
    (void)m_connection.execute("PRAGMA synchronous=FULL");
    (void)m_connection.queryValue("PRAGMA journal_mode=DELETE");
}

Expected<void> Database::commit() {
    if (!m_connection) {
        return fail(Problem::DatabaseClosed, m_path);
    }
    if (m_connection.inTransaction()) {
        if (auto committed = m_connection.execute("COMMIT"); !committed) {
            return failAbout(committed.error(), m_path);
        }
    }
    return {};
}

Expected<void> Database::beginRunWrites() {
    // A busy database is met here, before anything of the run is done. Other programs read
    // throughout the run: the write-ahead log keeps readers and the writer apart.
    return beginWriting();
}

Expected<void> Database::endRunWrites() {
    // A run that had to do without the log leaves the next one to try it again.
    m_journalChosen = m_writeAheadLog;
    if (auto committed = commit(); !committed) {
        return committed;
    }
    // The log holds the commits since the last checkpoint; the journal of the fallback holds
    // nothing that is not on the disk already, and its sync costs nothing.
    if (auto synced = m_connection.syncJournal(); !synced) {
        return failAbout(std::move(synced.error()), m_path);
    }
    // Folding the log into the file lets a copy of the file alone hold the run; what a reader
    // still needs stays in the log, as safely.
    if (m_writeAheadLog) {
        (void)m_connection.checkpoint();
    }
    return {};
}

void Database::rollback() {
    if (m_connection.inTransaction()) {
        (void)m_connection.execute("ROLLBACK");
    }
}

Expected<void> Database::Close() {
    if (!m_connection) {
        return {};
    }
    // Closing drops what is not committed, so the refusal is passed on.
    auto committed = commit();
    leaveWriteAheadLog();
    for (auto& [name, recordset] : m_recordsets) {
        if (recordset) {
            recordset->detach();
        }
    }
    m_recordsets.clear();
    m_connection.close();
    return committed;
}

} // namespace trawlmeter::db
