#include "platform/SqliteHandles.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <sqlite3.h>

#include "platform/PathText.h"
#include "platform/Problem.h"

namespace trawlmeter::sqlite {
namespace {

Failure failureOf(sqlite3* connection, int resultCode) {
    // Without a connection (no memory for one) the code says all there is.
    if (!connection) {
        return {sqliteError(resultCode), {}, {}};
    }
    return {sqliteError(sqlite3_extended_errcode(connection)), {}, sqlite3_errmsg(connection)};
}

// SQLite's own file layer here takes a path of at most 512 bytes, less the "-journal" it may
// add to it, and keeps such paths in buffers of that size: a database deeper than that would be
// refused as damaged. Such a database is opened by a short name of its folder, which the
// connection holds open, through a copy of that layer that takes the name as it is instead of
// resolving it back to the long path. The journal and the write-ahead log still lie beside the
// database, where every other program finds them.
constexpr std::size_t kSqlitePathBytes = 512;
constexpr std::size_t kJournalSuffixBytes = 8;

int fullPathnameAsGiven(sqlite3_vfs*, const char* name, int size, char* out) {
    const std::size_t length = std::strlen(name);
    if (name[0] != '/' || length + 1 > static_cast<std::size_t>(size)) {
        return SQLITE_CANTOPEN;
    }
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

// The name of that copy, registered once beside the default layer, never as the default.
const char* shortNameVfs() {
    static const char* const name = [] {
        static sqlite3_vfs copy = *sqlite3_vfs_find(nullptr);
        copy.zName = "trawlmeter-short-names";
        copy.xFullPathname = &fullPathnameAsGiven;
        copy.pNext = nullptr;
        return sqlite3_vfs_register(&copy, 0) == SQLITE_OK ? copy.zName : nullptr;
    }();
    return name;
}

bool tooLongForSqlite(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(pathFromUtf8(path), error);
    const std::size_t length = error ? path.size() : utf8FromPath(absolute).size();
    return length + kJournalSuffixBytes + 1 > kSqlitePathBytes;
}

} // namespace

Connection::Connection(Connection&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_folder(std::move(other.m_folder)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_folder = std::move(other.m_folder);
    }
    return *this;
}

Connection::~Connection() {
    close();
}

Expected<Connection> Connection::openExisting(const std::string& path, Access access) {
    sqlite3* handle = nullptr;
    const int flags = (access == Access::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOMUTEX;
    Connection connection;
    std::string name = path;
    const char* vfs = nullptr;
    if (tooLongForSqlite(path)) {
        // Links resolved first, as SQLite would, so the log lies beside the file itself.
        std::error_code error;
        const auto resolved = std::filesystem::weakly_canonical(pathFromUtf8(path), error);
        const auto file = error ? pathFromUtf8(path) : resolved;
        auto folder = File::openFolder(utf8FromPath(file.parent_path()));
        vfs = shortNameVfs();
        if (folder && vfs && !folder->shortName().empty()) {
            name = folder->shortName() + "/" + utf8FromPath(file.filename());
            connection.m_folder = std::move(*folder);
        } else {
            vfs = nullptr;
        }
    }
    const int rc = sqlite3_open_v2(name.c_str(), &handle, flags, vfs);
    // Even a failed open may hand over a handle, which then holds the reason.
    connection.m_handle = handle;
    if (rc != SQLITE_OK) {
        return failAbout(failureOf(handle, rc), path);
    }
    // Until its owner installs a wait of its own.
    sqlite3_busy_timeout(handle, 2000);
    return connection;
}

Expected<void> Connection::execute(const char* sql) const {
    if (!m_handle) {
        return fail(Problem::DatabaseClosed);
    }
    if (sqlite3_exec(m_handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return tl::unexpected(lastFailure());
    }
    return {};
}

Failure Connection::lastFailure(std::string subject) const {
    Failure failure = failureOf(m_handle, SQLITE_MISUSE);
    failure.subject = std::move(subject);
    return failure;
}

bool Connection::inTransaction() const {
    return m_handle && sqlite3_get_autocommit(m_handle) == 0;
}

long long Connection::changes() const {
    return m_handle ? sqlite3_changes64(m_handle) : 0;
}

bool Connection::isReadOnly() const {
    return m_handle && sqlite3_db_readonly(m_handle, "main") != 0;
}

Expected<std::string> Connection::queryValue(const char* sql) const {
    auto query = Statement::prepare(*this, sql);
    if (!query) {
        return tl::unexpected(std::move(query.error()));
    }
    auto row = query->step();
    if (!row) {
        return tl::unexpected(std::move(row.error()));
    }
    if (!*row) {
        return fail(sqliteError(SQLITE_DONE), {}, sql);
    }
    return std::string(query->columnText(0));
}

Expected<void> Connection::syncJournal() const {
    if (!m_handle) {
        return fail(sqliteError(SQLITE_MISUSE));
    }
    sqlite3_file* journal = nullptr;
    if (sqlite3_file_control(m_handle, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) !=
            SQLITE_OK ||
        journal == nullptr || journal->pMethods == nullptr) {
        return {};
    }
    if (const int synced = journal->pMethods->xSync(journal, SQLITE_SYNC_NORMAL);
        synced != SQLITE_OK) {
        return fail(sqliteError(synced));
    }
    return {};
}

Expected<void> Connection::checkpoint() const {
    if (!m_handle) {
        return fail(sqliteError(SQLITE_MISUSE));
    }
    if (sqlite3_wal_checkpoint_v2(m_handle, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) !=
        SQLITE_OK) {
        return tl::unexpected(lastFailure());
    }
    return {};
}

void Connection::close() {
    if (m_handle) {
        // close_v2 defers the close until every statement is finalized, so it cannot fail here.
        sqlite3_close_v2(std::exchange(m_handle, nullptr));
    }
}

Expected<Statement> Statement::prepare(const Connection& connection, std::string_view sql) {
    if (!connection) {
        return fail(Problem::DatabaseClosed);
    }
    sqlite3_stmt* handle = nullptr;
    if (sqlite3_prepare_v2(connection.get(), sql.data(), static_cast<int>(sql.size()), &handle,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(handle);
        return tl::unexpected(connection.lastFailure());
    }
    return Statement(handle, connection.get());
}

Statement::Statement(Statement&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_db(std::exchange(other.m_db, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finalize();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

Statement::~Statement() {
    finalize();
}

Expected<void> Statement::bindText(int index, std::string_view text) {
    if (sqlite3_bind_text64(m_handle, index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK) {
        return tl::unexpected(failureOf(m_db, SQLITE_MISUSE));
    }
    return {};
}

Expected<void> Statement::bindTextsUntilReset(std::span<const std::string_view> texts) {
    // A record binds a dozen texts: the failure is made only when there is one.
    int parameter = 0;
    for (const std::string_view text : texts) {
        if (sqlite3_bind_text64(m_handle, ++parameter, text.data(), text.size(), SQLITE_STATIC,
                                SQLITE_UTF8) != SQLITE_OK) {
            return tl::unexpected(failureOf(m_db, SQLITE_MISUSE));
        }
    }
    return {};
}

Expected<bool> Statement::step() {
    switch (sqlite3_step(m_handle)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    default:
        return tl::unexpected(failureOf(m_db, SQLITE_MISUSE));
    }
}

void Statement::reset() {
    // The outcome of the last step was taken from step() already.
    (void)sqlite3_reset(m_handle);
}

std::string_view Statement::columnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_handle, column));
    return text
               ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_handle, column)))
               : std::string_view();
}

long long Statement::columnInt64(int column) const {
    return sqlite3_column_int64(m_handle, column);
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
