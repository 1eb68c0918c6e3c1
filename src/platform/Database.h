#pragma once

#include "platform/Failure.h"
#include "platform/SqliteHandles.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The database engine the visit store writes through: open a file, open a table by name,
// start a record, set fields by name as text, write it, close. Failures are values: a failure
// of a table names the table, any other the database file.
namespace trawlmeter::db {

class Database;

// A column as its table declares it.
struct ColumnInfo {
    std::string name;
    bool notNull;
    bool hasDefault;
    // An INTEGER PRIMARY KEY: the database numbers the records itself.
    bool numbersRecords;
};

// One table opened for appending. Its inserts are prepared once and kept for the life of the
// database, so a record costs one bind-and-step.
class Recordset {
public:
    const std::string& tableName() const { return m_table; }
    // The table's columns as it declares them, read when it was opened.
    const std::vector<ColumnInfo>& columns() const { return m_columns; }

    // Starts a new record with every field unassigned.
    void AddNew();
    // Sets a field of the new record by name (ASCII case ignored); false when the table has
    // no such field or no record was started. The value is not copied: it must stay as it is
    // until Update.
    bool setField(std::string_view field, std::string_view value);
    // Appends the new record; fields left unassigned take the table's default (NULL unless the
    // table says otherwise). When the store refuses the record (a constraint, a full disk, a
    // lock held too long, a trigger that ignores it: Problem::RecordIgnored) the reason; the
    // record is then lost while the records written before it stay. Never replaces an existing
    // record.
    [[nodiscard]] Expected<void> Update();
    // Ends work on the record; the table stays prepared for the next one.
    void Close();

private:
    friend class Database;
    // Column position of a field, or -1.
    int fieldIndex(std::string_view field) const;
    Recordset(Database& database, std::string table, std::vector<ColumnInfo> columns);
    // The insert for the fields assigned now.
    Expected<sqlite::Statement*> insertForAssigned();
    // The database closed: every later write fails.
    void detach();

    Database* m_database;
    std::string m_table;
    std::vector<ColumnInfo> m_columns;
    std::vector<std::string_view> m_values;
    std::vector<bool> m_assigned;
    // The assigned values in column order, as the insert takes them.
    std::vector<std::string_view> m_bound;
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

class Database {
public:
    // Opens an existing database file for reading and writing. Refuses a missing file, one that
    // is not a database, and one that could only be opened for reading
    // (Problem::ReadOnlyDatabase).
    [[nodiscard]] static Expected<std::unique_ptr<Database>> open(const std::string& path);

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // The table of that name (ASCII case ignored), ready to take records; Problem::NoSuchTable
    // when there is none or it is a view. A table is read and its insert prepared once, and
    // again only after another program changed the database's tables.
    [[nodiscard]] Expected<std::shared_ptr<Recordset>> OpenRecordset(std::string_view table);

    // What holds that name in the database (ASCII case ignored): "table", "view", "index" or
    // "trigger"; an empty text when nothing does.
    [[nodiscard]] Expected<std::string> kindOfName(std::string_view name);
    // Makes a table of text columns that may stay empty, unless one of that name is there, and
    // commits it at once with whatever the open transaction holds. The reason when it cannot be
    // made (a write-protected file, a full disk, the name held by a view or an index).
    [[nodiscard]] Expected<void> createTextTable(std::string_view table,
                                                 std::span<const std::string_view> columns);

    // How long a write waits for another program's lock before it fails, and what runs every
    // few milliseconds while it waits (the event loop, so the window stays live).
    void setBusyWait(std::chrono::milliseconds limit, std::function<void()> whileWaiting);

    // Ends the open transaction: what it wrote survives a crash of the program at once, and a
    // power cut once the disk has caught up with it (at the latest when the run ends). Writes
    // are grouped in one transaction until this is called. On a refusal the records stay in
    // the open transaction.
    [[nodiscard]] Expected<void> commit();
    // Drops every record written since the last commit.
    void rollback();
    // Starts the writes of a run: takes the write lock now, waiting for another program's as
    // any write does. The reason when the lock is not had.
    [[nodiscard]] Expected<void> beginRunWrites();
    // Commits and waits until every commit so far is on the disk, so that a power cut keeps
    // the whole run. The reason when either fails.
    [[nodiscard]] Expected<void> endRunWrites();
    // Commits and closes, leaving the file with a rollback journal as other programs expect
    // to find it; the object and its recordsets refuse every write afterwards. The reason
    // when the last commit was refused and its records were lost.
    [[nodiscard]] Expected<void> Close();
    bool isOpen() const { return static_cast<bool>(m_connection); }
    const std::string& path() const { return m_path; }
    // How the database keeps its texts: "UTF-8", "UTF-16le" or "UTF-16be".
    [[nodiscard]] Expected<std::string> textEncoding() const;

private:
    friend class Recordset;
    Database(sqlite::Connection connection, std::string path);
    Expected<void> beginWriting();
    void chooseJournal();
    void leaveWriteAheadLog();
    Expected<std::vector<ColumnInfo>> tableColumns(std::string_view table);
    // The table ready to take records; null when there is none or it is a view.
    std::shared_ptr<Recordset> openTable(std::string_view table);
    // The version of the database's tables, which another program's change raises.
    Expected<long long> schemaVersion();
    static int onBusy(void* database, int attempts);
    Expected<sqlite::Statement> prepareInsert(const std::string& table,
                                              const std::vector<ColumnInfo>& columns,
                                              const std::vector<bool>& assigned);
    // A failure of the database as a whole, in SQLite's words.
    Failure failure() const { return m_connection.lastFailure(m_path); }

    sqlite::Connection m_connection;
    std::string m_path;
    bool m_journalChosen = false;
    // Commits go to a write-ahead log beside the file, not through a rollback journal.
    bool m_writeAheadLog = false;
    std::chrono::milliseconds m_busyLimit{30000};
    std::function<void()> m_whileBusy;
    std::chrono::steady_clock::time_point m_busySince;
    // The tables opened so far by lower-case name, a missing one as null; valid while the
    // database's tables are at m_schemaVersion.
    std::map<std::string, std::shared_ptr<Recordset>> m_recordsets;
    long long m_schemaVersion = -1;
};

} // namespace trawlmeter::db
