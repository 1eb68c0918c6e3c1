#pragma once

#include "platform/File.h"
#include "platform/SqliteHandles.h"

#include <tl/expected.hpp>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The database engine the visit store writes through: open a file, open a table by name,
// start a record, set fields by name as text, write it, close. Failures are values.
namespace trawlmeter::db {

class Database;

// One table opened for appending. Its inserts are prepared once and kept for the life of the
// database, so a record costs one bind-and-step.
class Recordset {
public:
    const std::string& tableName() const { return m_table; }

    // Starts a new record with every field unassigned.
    void AddNew();
    // Sets a field of the new record by name (ASCII case ignored); false when the table has
    // no such field or no record was started. The value is not copied: it must stay as it is
    // until Update.
    bool setField(std::string_view field, std::string_view value);
    // Appends the new record; fields left unassigned take the table's default (NULL unless the
    // table says otherwise). When the store refuses the record (a constraint, a full disk, a
    // lock held too long) the reason in SQLite's words; the record is then lost while the
    // records written before it stay. Never replaces an existing record.
    [[nodiscard]] tl::expected<void, std::string> Update();
    // Ends work on the record; the table stays prepared for the next one.
    void Close();

private:
    friend class Database;
    // Column position of a field, or -1.
    int fieldIndex(std::string_view field) const;
    Recordset(Database& database, std::string table, std::vector<std::string> columns);
    // The insert for the fields assigned now; null when it cannot be prepared.
    sqlite::Statement* insertForAssigned();
    // The database closed: every later write fails.
    void detach();

    Database* m_database;
    std::string m_table;
    std::vector<std::string> m_columns;
    std::vector<std::string_view> m_values;
    std::vector<bool> m_assigned;
    // Fields come in the same order record after record: the column after the last one set is
    // tried first.
    std::size_t m_nextColumn = 0;
    // The insert of the last record, for the next one with the same fields.
    std::vector<bool> m_lastAssigned;
    sqlite::Statement* m_lastInsert = nullptr;
    // One insert per set of assigned fields; as a rule all fourteen are, so there is one.
    std::map<std::vector<bool>, sqlite::Statement> m_inserts;
    bool m_editing = false;
};

// A column as its table declares it.
struct ColumnInfo {
    std::string name;
    bool notNull;
    bool hasDefault;
    // An INTEGER PRIMARY KEY: the database numbers the records itself.
    bool numbersRecords;
};

class Database {
public:
    // Opens an existing database file for reading and writing; nothing when the file is
    // missing, is not a database, or could only be opened for reading.
    static std::unique_ptr<Database> open(const std::string& path);

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // The table of that name (ASCII case ignored), or nullptr when there is none.
    std::shared_ptr<Recordset> OpenRecordset(std::string_view table);
    // True when a table of that name (ASCII case ignored) can take records.
    bool hasTable(std::string_view table);
    // The columns of a table or view; nothing when there is none of that name.
    std::optional<std::vector<ColumnInfo>> columns(std::string_view table);

    // How long a write waits for another program's lock before it fails, and what runs every
    // few milliseconds while it waits (the event loop, so the window stays live).
    void setBusyWait(std::chrono::milliseconds limit, std::function<void()> whileWaiting);

    // Makes every record written so far durable. Writes are grouped in one transaction
    // until this is called. On a refusal the records stay in the open transaction.
    [[nodiscard]] tl::expected<void, std::string> commit();
    // Drops every record written since the last commit.
    void rollback();
    // Starts the writes of a run: takes the write lock now, waiting for another program's as
    // any write does, and from here on starts the disk on each commit. The reason when the
    // lock is not had.
    [[nodiscard]] tl::expected<void, std::string> beginRunWrites();
    // Commits and waits until what the run committed is on the disk. The reason when either
    // fails.
    [[nodiscard]] tl::expected<void, std::string> endRunWrites();
    // Commits and closes; the object and its recordsets refuse every write afterwards. The
    // reason when the last commit was refused and its records were lost.
    [[nodiscard]] tl::expected<void, std::string> Close();
    bool isOpen() const { return static_cast<bool>(m_connection); }

private:
    friend class Recordset;
    Database(sqlite::Connection connection, std::string path);
    tl::expected<void, std::string> beginWriting();
    void chooseJournal();
    std::optional<std::vector<std::string>> tableColumns(std::string_view table);
    static int onBusy(void* database, int attempts);
    sqlite::Statement prepareInsert(const std::string& table,
                                    const std::vector<std::string>& columns,
                                    const std::vector<bool>& assigned);

    sqlite::Connection m_connection;
    std::string m_path;
    // The file, open for syncing during a run's writes; closed otherwise.
    File m_fileForSync;
    bool m_journalChosen = false;
    std::chrono::milliseconds m_busyLimit{30000};
    std::function<void()> m_whileBusy;
    std::chrono::steady_clock::time_point m_busySince;
    std::map<std::string, std::shared_ptr<Recordset>> m_recordsets;
};

} // namespace trawlmeter::db
