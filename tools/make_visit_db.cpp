// Creates the visit database from its schema, unless a file of that name already exists: an
// existing file holds the operator's records and is never replaced.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace stdfs = std::filesystem;

// True when anything, even a dangling link, already has that name.
bool isTaken(const stdfs::path& path) {
    std::error_code error;
    return stdfs::exists(stdfs::symlink_status(path, error));
}

// Runs the schema on a new file; false (with a message) when it fails or makes no table.
bool buildDatabase(const stdfs::path& path, const std::string& schema) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK &&
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

// Gives the finished file its name without ever replacing a file that appeared meanwhile.
bool publish(const stdfs::path& partial, const stdfs::path& target) {
    std::error_code error;
    stdfs::create_hard_link(partial, target, error);
    if (error && !isTaken(target)) {
        // A file system without hard links: a rename is the next best thing.
        error.clear();
        stdfs::rename(partial, target, error);
    } else {
        // Linked, or another run's file came first and stays.
        error.clear();
    }
    std::error_code ignored;
    stdfs::remove(partial, ignored);
    return !error;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-visit-db SCHEMA.sql TARGET.mdb\n");
        return 2;
    }
    const stdfs::path schemaPath = argv[1];
    const stdfs::path target = argv[2];
    if (isTaken(target)) {
        return 0;
    }
    std::ifstream schemaFile(schemaPath);
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    if (!schemaFile || !schema) {
        std::fprintf(stderr, "make-visit-db: cannot read %s\n", argv[1]);
        return 1;
    }
    std::error_code error;
    stdfs::create_directories(target.parent_path(), error);
    // Private to this run, so that two builds at once cannot spoil each other's file.
    const stdfs::path partial = target.string() + ".partial." + std::to_string(::getpid());
    stdfs::remove(partial, error);
    if (!buildDatabase(partial, schema.str()) || !publish(partial, target)) {
        stdfs::remove(partial, error);
        return 1;
    }
    return 0;
}
