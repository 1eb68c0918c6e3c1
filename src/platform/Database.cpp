#include "platform/Database.h"

#include <algorithm>

namespace trawlmeter::db {
namespace {

std::string asciiLower(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return lowered;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

} // namespace

Recordset::Recordset(Database& database, std::string table, std::vector<std::string> columns,
                     sqlite::Statement insert)
    : m_database(database), m_table(std::move(table)), m_columns(std::move(columns)),
      m_insert(std::move(insert)), m_values(m_columns.size()) {}

void Recordset::AddNew() {
    std::fill(m_values.begin(), m_values.end(), std::nullopt);
    m_editing = true;
}

int Recordset::fieldIndex(std::string_view field) const {
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
    m_values[static_cast<size_t>(index)] = std::string(value);
    return true;
}

bool Recordset::Update() {
    if (!m_editing || !m_database.beginWriting()) {
        return false;
    }
    m_editing = false;
    bool bound = true;
    for (size_t i = 0; i < m_values.size(); ++i) {
        const int parameter = static_cast<int>(i) + 1;
        bound = bound && (m_values[i] ? m_insert.bindText(parameter, *m_values[i])
                                      : m_insert.bindNull(parameter));
    }
    const bool written = bound && m_insert.stepDone();
    m_insert.reset();
    return written;
}

void Recordset::Close() {
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

std::shared_ptr<Recordset> Database::OpenRecordset(std::string_view table) {
    const std::string key = asciiLower(table);
    if (auto found = m_recordsets.find(key); found != m_recordsets.end()) {
        return found->second;
    }
    auto columns = tableColumns(table);
    if (!columns) {
        // The program never creates tables, so a missing one stays missing for this run.
        m_recordsets.emplace(key, nullptr);
        return nullptr;
    }
    std::string sql = "INSERT INTO " + sqlite::quoteIdentifier(table) + " (";
    std::string values;
    for (size_t i = 0; i < columns->size(); ++i) {
        sql += (i ? ", " : "") + sqlite::quoteIdentifier((*columns)[i]);
        values += (i ? ", ?" : "?");
    }
    sql += ") VALUES (" + values + ")";
    sqlite::Statement insert(m_connection, sql);
    if (!insert) {
        m_recordsets.emplace(key, nullptr);
        return nullptr;
    }
    std::shared_ptr<Recordset> recordset(
        new Recordset(*this, std::string(table), std::move(*columns), std::move(insert)));
    m_recordsets.emplace(key, recordset);
    return recordset;
}

bool Database::hasTable(std::string_view table) {
    return tableColumns(table).has_value();
}

bool Database::beginWriting() {
    return m_connection && (m_connection.inTransaction() || m_connection.execute("BEGIN"));
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
    commit();
    m_recordsets.clear();
    m_connection.close();
}

} // namespace trawlmeter::db
