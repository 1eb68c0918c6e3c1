// Creates the visit database from its schema, unless a file of that name already exists.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-visit-db SCHEMA.sql TARGET.mdb\n");
        return 2;
    }
    const std::filesystem::path schemaPath = argv[1];
    const std::filesystem::path target = argv[2];
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, error))) {
        return 0;
    }
    std::ifstream schemaFile(schemaPath);
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    if (!schemaFile) {
        std::fprintf(stderr, "make-visit-db: cannot read %s\n", argv[1]);
        return 1;
    }
    std::filesystem::create_directories(target.parent_path(), error);
    const std::filesystem::path partial = target.string() + ".partial";
    std::filesystem::remove(partial, error);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(partial.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        std::fprintf(stderr, "make-visit-db: %s\n", db ? sqlite3_errmsg(db) : "out of memory");
    }
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    // The rename makes the file appear whole or not at all.
    if (ok) {
        std::filesystem::rename(partial, target, error);
        ok = !error;
    }
    if (!ok) {
        std::filesystem::remove(partial, error);
        return 1;
    }
    return 0;
}
