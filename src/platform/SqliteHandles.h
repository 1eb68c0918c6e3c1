#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// Small owners of SQLite handles. Non-copyable; destructors never throw.
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

    // Opens an existing database file for reading and writing; never creates one.
    static Connection openExisting(const std::string& path);

    explicit operator bool() const { return m_handle != nullptr; }
    sqlite3* get() const { return m_handle; }
    bool execute(const char* sql) const;
    // SQLite's words for why the last call on this connection failed.
    std::string lastError() const;
    bool inTransaction() const;
    // True when the main database could only be opened for reading.
    bool isReadOnly() const;
    // Runs a statement that answers with one value, such as a pragma that sets a mode and
    // names the mode now in force; nothing when it fails.
    std::optional<std::string> queryValue(const char* sql) const;
    // Waits until what the journal holds (the write-ahead log, or the rollback journal) is on
    // the disk, through SQLite's own file layer. SQLite's result code; SQLITE_OK also when no
    // journal is open.
    int syncJournal() const;
    // Copies the write-ahead log into the database file as far as readers allow, waiting for
    // none; the disk catches up with the log first. False when it could not be done.
    bool checkpoint() const;
    void close();

private:
    sqlite3* m_handle = nullptr;
};

class Statement {
public:
    Statement() = default;
    Statement(const Connection& connection, std::string_view sql);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    explicit operator bool() const { return m_handle != nullptr; }
    // Parameters count from 1. The text is copied by SQLite.
    bool bindText(int index, std::string_view text);
    // Binds without a copy: the text must stay unchanged until the statement is reset.
    bool bindTextUntilReset(int index, std::string_view text);
    // True when the statement produced a row.
    bool stepRow();
    // True when the statement ran to completion without error.
    bool stepDone();
    bool reset();
    std::string_view columnText(int column) const;
    // The column as an integer; 0 for NULL or when there is no row.
    long long columnInt64(int column) const;
    void finalize();

private:
    sqlite3_stmt* m_handle = nullptr;
};

// Quotes an identifier for SQL ("a""b" for a"b).
std::string quoteIdentifier(std::string_view name);

} // namespace trawlmeter::sqlite
