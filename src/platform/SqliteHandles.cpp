#include "platform/SqliteHandles.h"

#include <sqlite3.h>

#include <utility>

namespace trawlmeter::sqlite {

Connection::Connection(Connection&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

Connection::~Connection() {
    close();
}

Connection Connection::openExisting(const std::string& path) {
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(handle);
        return Connection();
    }
    // Until its owner installs a wait of its own.
    sqlite3_busy_timeout(handle, 2000);
    return Connection(handle);
}

bool Connection::execute(const char* sql) const {
    return m_handle && sqlite3_exec(m_handle, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string Connection::lastError() const {
    return m_handle ? sqlite3_errmsg(m_handle) : "the database is closed";
}

bool Connection::inTransaction() const {
    return m_handle && sqlite3_get_autocommit(m_handle) == 0;
}

bool Connection::isReadOnly() const {
    return m_handle && sqlite3_db_readonly(m_handle, "main") != 0;
}

std::optional<std::string> Connection::queryValue(const char* sql) const {
    Statement query(*this, sql);
    if (!query.stepRow()) {
        return std::nullopt;
    }
    return std::string(query.columnText(0));
}

int Connection::syncJournal() const {
    if (!m_handle) {
        return SQLITE_MISUSE;
    }
    sqlite3_file* journal = nullptr;
    if (sqlite3_file_control(m_handle, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) !=
            SQLITE_OK ||
        journal == nullptr || journal->pMethods == nullptr) {
        return SQLITE_OK;
    }
    return journal->pMethods->xSync(journal, SQLITE_SYNC_NORMAL);
}

bool Connection::checkpoint() const {
    return m_handle && sqlite3_wal_checkpoint_v2(m_handle, "main", SQLITE_CHECKPOINT_PASSIVE,
                                                 nullptr, nullptr) == SQLITE_OK;
}

void Connection::close() {
    if (m_handle) {
        // close_v2 defers the close until every statement is finalized, so it cannot fail here.
        sqlite3_close_v2(std::exchange(m_handle, nullptr));
    }
}

Statement::Statement(const Connection& connection, std::string_view sql) {
    if (!connection ||
        sqlite3_prepare_v2(connection.get(), sql.data(), static_cast<int>(sql.size()), &m_handle,
                           nullptr) != SQLITE_OK) {
        finalize();
    }
}

Statement::Statement(Statement&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finalize();
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

Statement::~Statement() {
    finalize();
}

bool Statement::bindText(int index, std::string_view text) {
    return m_handle && sqlite3_bind_text64(m_handle, index, text.data(), text.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

bool Statement::bindTextUntilReset(int index, std::string_view text) {
    return m_handle && sqlite3_bind_text64(m_handle, index, text.data(), text.size(), SQLITE_STATIC,
                                           SQLITE_UTF8) == SQLITE_OK;
}

bool Statement::stepRow() {
    return m_handle && sqlite3_step(m_handle) == SQLITE_ROW;
}

bool Statement::stepDone() {
    return m_handle && sqlite3_step(m_handle) == SQLITE_DONE;
}

bool Statement::reset() {
    return m_handle && sqlite3_reset(m_handle) == SQLITE_OK;
}

std::string_view Statement::columnText(int column) const {
    if (!m_handle) {
        return {};
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_handle, column));
    return text
               ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_handle, column)))
               : std::string_view();
}

long long Statement::columnInt64(int column) const {
    return m_handle ? sqlite3_column_int64(m_handle, column) : 0;
}

void Statement::finalize() {
    if (m_handle) {
        sqlite3_finalize(std::exchange(m_handle, nullptr));
    }
}

std::string quoteIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

} // namespace trawlmeter::sqlite
