#include "platform/Database.h"

#include "platform/AsciiCase.h"

#include <sqlite3.h>

#include <algorithm>
#include <thread>

namespace trawlmeter::db {
namespace {

// Past this many field combinations a table's inserts are prepared afresh.
constexpr std::size_t kMaxCachedInserts = 64;
constexpr auto kBusyPause = std::chrono::milliseconds(2);

} // namespace

Recordset::Recordset(Database& database, std::string table, std::vector<std::string> columns)
    : m_database(&database), m_table(std::move(table)), m_columns(std::move(columns)),
      m_values(m_columns.size()), m_assigned(m_columns.size(), false) {}

void Recordset::AddNew() {
    std::fill(m_assigned.begin(), m_assigned.end(), false);
    m_nextColumn = 0;
    m_editing = true;
}

int Recordset::fieldIndex(std::string_view field) const {
    if (m_nextColumn < m_columns.size() && m_columns[m_nextColumn] == field) {
        return static_cast<int>(m_nextColumn);
    }
    // Callers nearly always spell a field as the table does; that costs one memcmp.
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i] == field) {
            return static_cast<int>(i);
        }
    }
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (equalsIgnoringAsciiCase(m_columns[i], field)) {
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

sqlite::Statement* Recordset::insertForAssigned() {
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
        return nullptr;
    }
    if (m_inserts.size() >= kMaxCachedInserts) {
        m_inserts.clear();
    }
    return m_lastInsert = &m_inserts.emplace(m_assigned, std::move(insert)).first->second;
}

tl::expected<void, std::string> Recordset::Update() {
    if (!m_editing || !m_database) {
        return tl::unexpected(
            std::string(m_database ? "no record was started" : "the database is closed"));
    }
    m_editing = false;
    auto* insert = insertForAssigned();
    if (!insert) {
        return tl::unexpected(m_database->m_connection.lastError());
    }
    if (auto began = m_database->beginWriting(); !began) {
        return began;
    }
    bool bound = true;
    int parameter = 0;
    for (size_t i = 0; bound && i < m_values.size(); ++i) {
        if (m_assigned[i]) {
            // m_values stays untouched until the reset below.
            bound = insert->bindTextUntilReset(++parameter, m_values[i]);
        }
    }
    const bool written = bound && insert->stepDone();
    // The reason goes with the reset.
    std::string reason = written ? std::string() : m_database->m_connection.lastError();
    insert->reset();
    if (!written) {
        return tl::unexpected(std::move(reason));
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

Database::Database(sqlite::Connection connection) : m_connection(std::move(connection)) {
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

std::unique_ptr<Database> Database::open(const std::string& path) {
    auto connection = sqlite::Connection::openExisting(path);
    // Opening is lazy in SQLite: reading the schema is what proves the file is a database.
    if (!connection || !connection.execute("SELECT count(*) FROM sqlite_master")) {
        return nullptr;
    }
    // SQLite falls back to reading only when the file is write-protected; a visit database
    // that takes no records would let a whole run store nothing.
    if (connection.isReadOnly()) {
        return nullptr;
    }
    return std::unique_ptr<Database>(new Database(std::move(connection)));
}

std::optional<std::vector<ColumnInfo>> Database::columns(std::string_view table) {
    sqlite::Statement query(m_connection, "SELECT name, \"notnull\", dflt_value IS NOT NULL,"
                                          " pk = 1 AND upper(type) = 'INTEGER'"
                                          " FROM pragma_table_info(?1)");
    if (!query || !query.bindText(1, table)) {
        return std::nullopt;
    }
    std::vector<ColumnInfo> columns;
    while (query.stepRow()) {
        columns.push_back({std::string(query.columnText(0)), query.columnText(1) == "1",
                           query.columnText(2) == "1", query.columnText(3) == "1"});
    }
    if (columns.empty()) {
        return std::nullopt;
    }
    return columns;
}

std::optional<std::vector<std::string>> Database::tableColumns(std::string_view table) {
    auto found = columns(table);
    if (!found) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (auto& column : *found) {
        names.push_back(std::move(column.name));
    }
    return names;
}

sqlite::Statement Database::prepareInsert(const std::string& table,
                                          const std::vector<std::string>& columns,
                                          const std::vector<bool>& assigned) {
    // OR ABORT overrides a table's own conflict clause: a refused record must neither roll back
    // the records written before it nor replace an existing one.
    std::string sql = "INSERT OR ABORT INTO " + sqlite::quoteIdentifier(table);
    std::string names;
    std::string values;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (assigned[i]) {
            names += (names.empty() ? "" : ", ") + sqlite::quoteIdentifier(columns[i]);
            values += values.empty() ? "?" : ", ?";
        }
    }
    sql += names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + values + ")";
    return sqlite::Statement(m_connection, sql);
}

std::shared_ptr<Recordset> Database::OpenRecordset(std::string_view table) {
    const std::string key = asciiLowered(table);
    if (auto found = m_recordsets.find(key); found != m_recordsets.end()) {
        return found->second;
    }
    auto columns = tableColumns(table);
    const std::vector<bool> allAssigned(columns ? columns->size() : 0, true);
    // A view lists columns too but takes no records: the full insert proves the table.
    auto insert =
        columns ? prepareInsert(std::string(table), *columns, allAssigned) : sqlite::Statement();
    if (!insert) {
        // The program never creates tables, so a missing one stays missing for this run.
        m_recordsets.emplace(key, nullptr);
        return nullptr;
    }
    std::shared_ptr<Recordset> recordset(
        new Recordset(*this, std::string(table), std::move(*columns)));
    recordset->m_inserts.emplace(allAssigned, std::move(insert));
    m_recordsets.emplace(key, recordset);
    return recordset;
}

bool Database::hasTable(std::string_view table) {
    auto columns = tableColumns(table);
    return columns &&
           prepareInsert(std::string(table), *columns, std::vector<bool>(columns->size(), true));
}

tl::expected<void, std::string> Database::beginWriting() {
    if (!m_connection) {
        return tl::unexpected(std::string("the database is closed"));
    }
    if (m_connection.inTransaction()) {
        return {};
    }
    chooseJournal();
    // The write lock is taken here, where a busy database is waited for, rather than at the
    // first insert.
    if (!m_connection.execute("BEGIN IMMEDIATE")) {
        return tl::unexpected(m_connection.lastError());
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
    m_writeAheadLog = m_connection.queryValue("PRAGMA journal_mode=WAL") == "wal";
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

tl::expected<void, std::string> Database::commit() {
    if (!m_connection) {
        return tl::unexpected(std::string("the database is closed"));
    }
    if (m_connection.inTransaction() && !m_connection.execute("COMMIT")) {
        return tl::unexpected(m_connection.lastError());
    }
    return {};
}

tl::expected<void, std::string> Database::beginRunWrites() {
    // A busy database is met here, before anything of the run is done. Other programs read
    // throughout the run: the write-ahead log keeps readers and the writer apart.
    return beginWriting();
}

tl::expected<void, std::string> Database::endRunWrites() {
    // A run that had to do without the log leaves the next one to try it again.
    m_journalChosen = m_writeAheadLog;
    if (auto committed = commit(); !committed) {
        return committed;
    }
    // The log holds the commits since the last checkpoint; the journal of the fallback holds
    // nothing that is not on the disk already, and its sync costs nothing.
    if (const int synced = m_connection.syncJournal(); synced != SQLITE_OK) {
        return tl::unexpected(std::string(sqlite3_errstr(synced)));
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

tl::expected<void, std::string> Database::Close() {
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
