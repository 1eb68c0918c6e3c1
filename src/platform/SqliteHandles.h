#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/Failure.h"
#include "platform/File.h"

struct sqlite3;
struct sqlite3_stmt;

// Small owners of SQLite handles. Non-copyable; destructors never throw. A failure carries
// SQLite's extended result code and its own words.
namespace trawlmeter::sqlite {

class Connection {
public:
    Connection() = default;
    explicit Connection(sqlite3* handle) : m_handle(handle) {}
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    enum class Access { ReadWrite, ReadOnly };
    // Opens an existing database file; never creates one. Failures name the path.
    [[nodiscard]] static Expected<Connection> openExisting(const std::string& path,
                                                           Access access = Access::ReadWrite);

    explicit operator bool() const { return m_handle != nullptr; }
    sqlite3* get() const { return m_handle; }
    [[nodiscard]] Expected<void> execute(const char* sql) const;
    // Why the last call on this connection failed, about `subject`.
    [[nodiscard]] Failure lastFailure(std::string subject = {}) const;
    bool inTransaction() const;
    // How many rows the last INSERT, UPDATE or DELETE that ran to its end changed itself; the
    // changes of its triggers are not counted.
    long long changes() const;
    // True when the main database could only be opened for reading.
    bool isReadOnly() const;
    // Runs a statement that answers with one value, such as a pragma that sets a mode and
    // names the mode now in force; nothing when it fails.
    [[nodiscard]] Expected<std::string> queryValue(const char* sql) const;
    // Waits until what the journal holds (the write-ahead log, or the rollback journal) is on
    // the disk, through SQLite's own file layer; also done when no journal is open.
    [[nodiscard]] Expected<void> syncJournal() const;
    // Copies the write-ahead log into the database file as far as readers allow, waiting for
    // none; the disk catches up with the log first.
    [[nodiscard]] Expected<void> checkpoint() const;
    void close();

private:
    sqlite3* m_handle = nullptr;
    // The folder of a database whose path is too long for SQLite, opened by its short name.
    File m_folder;
};

class Statement {
public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Prepares `sql` on the connection; SQLite's reason when it cannot.
    [[nodiscard]] static Expected<Statement> prepare(const Connection& connection,
                                                     std::string_view sql);

    explicit operator bool() const { return m_handle != nullptr; }
    // Parameters count from 1. The text is copied by SQLite.
    [[nodiscard]] Expected<void> bindText(int index, std::string_view text);
    // Binds `texts` to the parameters from 1 on, without a copy: they must stay unchanged until
    // the statement is reset.
    [[nodiscard]] Expected<void> bindTextsUntilReset(std::span<const std::string_view> texts);
    // Runs the statement on: true when it produced a row, false when it ran to completion.
    [[nodiscard]] Expected<bool> step();
    // Makes the statement ready to run again, keeping its bindings.
    void reset();
    std::string_view columnText(int column) const;
    // The column as an integer; 0 for NULL or when there is no row.
    long long columnInt64(int column) const;
    void finalize();

private:
    Statement(sqlite3_stmt* handle, sqlite3* connection) : m_handle(handle), m_db(connection) {}

    sqlite3_stmt* m_handle = nullptr;
    sqlite3* m_db = nullptr;
};

// Quotes an identifier for SQL ("a""b" for a"b).
std::string quoteIdentifier(std::string_view name);

} // namespace trawlmeter::sqlite
