#include "platform/Database.h"

#include <algorithm>

namespace trawlmeter::db {
namespace {

// Past this many field combinations a table's inserts are prepared afresh.
constexpr std::size_t kMaxCachedInserts = 64;
constexpr int kCloseBusyTimeoutMs = 15000;

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLower(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return asciiLower(c); });
    return lowered;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

} // namespace

Recordset::Recordset(Database& database, std::string table, std::vector<std::string> columns)
    : m_database(&database), m_table(std::move(table)), m_columns(std::move(columns)),
      m_values(m_columns.size()), m_assigned(m_columns.size(), false) {}

void Recordset::AddNew() {
    std::fill(m_assigned.begin(), m_assigned.end(), false);
    m_editing = true;
}

int Recordset::fieldIndex(std::string_view field) const {
    // Callers nearly always spell a field as the table does; that costs one memcmp.
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i] == field) {
            return static_cast<int>(i);
        }
    }
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (sameName(m_columns[i], field)) {
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
    m_values[column].assign(value);
    m_assigned[column] = true;
    return true;
}

sqlite::Statement* Recordset::insertForAssigned() {
    if (auto found = m_inserts.find(m_assigned); found != m_inserts.end()) {
        return &found->second;
    }
    auto insert = m_database->prepareInsert(m_table, m_columns, m_assigned);
    if (!insert) {
        return nullptr;
    }
    if (m_inserts.size() >= kMaxCachedInserts) {
        m_inserts.clear();
    }
    return &m_inserts.emplace(m_assigned, std::move(insert)).first->second;
}

bool Recordset::Update() {
    if (!m_editing || !m_database) {
        return false;
    }
    m_editing = false;
    auto* insert = insertForAssigned();
    if (!insert || !m_database->beginWriting()) {
        return false;
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
    insert->reset();
    return written;
}

void Recordset::Close() {
    m_editing = false;
}

void Recordset::detach() {
    m_inserts.clear();
    m_database = nullptr;
    m_editing = false;
}

Database::Database(sqlite::Connection connection) : m_connection(std::move(connection)) {}

Database::~Database() {
    Close();
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

std::optional<std::vector<std::string>> Database::tableColumns(std::string_view table) {
    sqlite::Statement query(m_connection, "SELECT name FROM pragma_table_info(?1)");
    if (!query || !query.bindText(1, table)) {
        return std::nullopt;
    }
    std::vector<std::string> columns;
    while (query.stepRow()) {
        columns.emplace_back(query.columnText(0));
    }
    if (columns.empty()) {
        return std::nullopt;
    }
    return columns;
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
    const std::string key = asciiLower(table);
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

bool Database::beginWriting() {
    if (!m_connection) {
        return false;
    }
    if (m_connection.inTransaction()) {
        return true;
    }
    if (!m_journalChosen) {
        // A write-ahead log makes each commit an append without syncing the database file; a
        // commit still survives a crash of the program. Chosen at the first write so that a file
        // that is only opened and refused stays untouched. Where the file system cannot share
        // memory the database keeps its rollback journal and works as before.
        m_journalChosen = true;
        (void)m_connection.execute("PRAGMA journal_mode=WAL");
        (void)m_connection.execute("PRAGMA synchronous=NORMAL");
    }
    return m_connection.execute("BEGIN");
}

bool Database::commit() {
    if (!m_connection) {
        return false;
    }
    return !m_connection.inTransaction() || m_connection.execute("COMMIT");
}

void Database::Close() {
    if (!m_connection) {
        return;
    }
    // Closing drops what is not committed: a reader of another program gets longer to finish.
    if (!commit()) {
        m_connection.setBusyTimeout(kCloseBusyTimeoutMs);
        commit();
    }
    for (auto& [name, recordset] : m_recordsets) {
        if (recordset) {
            recordset->detach();
        }
    }
    m_recordsets.clear();
    m_connection.close();
}

} // namespace trawlmeter::db
