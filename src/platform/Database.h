#pragma once

#include "platform/SqliteHandles.h"

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

// One table opened for appending. The insert is prepared once and kept for the life of
// the database, so a record costs one bind-and-step.
class Recordset {
public:
    const std::string& tableName() const { return m_table; }

    // Starts a new record with every field unset (written as NULL).
    void AddNew();
    // Sets a field of the new record by name (ASCII case ignored); false when the table has
    // no such field or no record was started.
    bool setField(std::string_view field, std::string_view value);
    // Writes the new record; false when the store refused it (the record is then lost).
    bool Update();
    // Ends work on the record; the table stays prepared for the next one.
    void Close();

    // Column position of a field, or -1.
    int fieldIndex(std::string_view field) const;

private:
    friend class Database;
    Recordset(Database& database, std::string table, std::vector<std::string> columns,
              sqlite::Statement insert);

    Database& m_database;
    std::string m_table;
    std::vector<std::string> m_columns;
    sqlite::Statement m_insert;
    std::vector<std::optional<std::string>> m_values;
    bool m_editing = false;
};

class Database {
public:
    // Opens an existing database file for reading and writing; nothing when the file is
    // missing or is not a database.
    static std::unique_ptr<Database> open(const std::string& path);

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // The table of that name (ASCII case ignored), or nullptr when there is none.
    std::shared_ptr<Recordset> OpenRecordset(std::string_view table);
    bool hasTable(std::string_view table);

    // Makes every record written so far durable. Writes are grouped in one transaction
    // until this is called.
    bool commit();
    // Commits and closes; the object is unusable afterwards.
    void Close();
    bool isOpen() const { return static_cast<bool>(m_connection); }

private:
    friend class Recordset;
    explicit Database(sqlite::Connection connection);
    bool beginWriting();
    std::optional<std::vector<std::string>> tableColumns(std::string_view table);

    sqlite::Connection m_connection;
    std::map<std::string, std::shared_ptr<Recordset>> m_recordsets;
};

} // namespace trawlmeter::db
