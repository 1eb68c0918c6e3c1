// Creates the visit database from its schema, unless a file of that name already exists: an
// existing file holds the operator's records and is never replaced.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sqlite3.h>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace {

namespace stdfs = std::filesystem;

// Runs the schema on the empty file at `path`; false (with a message) when it fails or makes
// no table.
bool buildDatabase(const std::string& path, const std::string& schema) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        std::fprintf(stderr, "make-visit-db: %s\n", db ? sqlite3_errmsg(db) : "out of memory");
    }
    sqlite3_stmt* count = nullptr;
    if (ok) {
        ok = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'", -1,
                                &count, nullptr) == SQLITE_OK &&
             sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int(count, 0) > 0;
        sqlite3_finalize(count);
        if (!ok) {
            std::fprintf(stderr, "make-visit-db: the schema makes no table\n");
        }
    }
    return sqlite3_close(db) == SQLITE_OK && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-visit-db SCHEMA.sql TARGET.mdb\n");
        return 2;
    }
    const std::string target = argv[2];
    if (trawlmeter::fs::PathExists(target) || trawlmeter::fs::IsLink(target)) {
        return 0;
    }
    std::ifstream schemaFile(argv[1]);
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    if (!schemaFile || !schema) {
        std::fprintf(stderr, "make-visit-db: cannot read %s\n", argv[1]);
        return 1;
    }
    std::error_code error;
    stdfs::create_directories(stdfs::path(target).parent_path(), error);
    // Under a name of its own until it is whole, so that two builds at once cannot spoil each
    // other's file; a file that another build laid out meanwhile stays.
    auto database = trawlmeter::AtomicFile::create(target);
    if (!database) {
        std::fprintf(stderr, "make-visit-db: %s: %s\n", target.c_str(),
                     database.error().code.message().c_str());
        return 1;
    }
    if (!buildDatabase(database->hiddenPath(), schema.str())) {
        return 1;
    }
    if (auto published = database->commit(trawlmeter::AtomicFile::Existing::Keep); !published) {
        std::fprintf(stderr, "make-visit-db: %s: %s\n", target.c_str(),
                     published.error().code.message().c_str());
        return 1;
    }
    return 0;
}
