#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/PathText.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace trawlmeter::testing {

TestFolder::TestFolder() {
#ifdef _WIN32
    // Windows' C library has no mkdtemp: a random name is tried until one is free.
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "trawlmeter-test-%08x", random());
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error)) {
            m_path = base / name;
        }
    }
    if (m_path.empty()) {
        throw std::runtime_error("cannot make a test folder");
    }
#else
    std::string pattern =
        (std::filesystem::temp_directory_path() / "trawlmeter-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a test folder");
    }
    m_path = pattern;
#endif
}

TestFolder::~TestFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const bool failed = info && info->result() && info->result()->Failed();
    if (failed) {
        std::fprintf(stderr, "test folder kept: %s\n", str().c_str());
        return;
    }
    std::error_code error;
    // Tests make files write-protected; give the rights back so the folder can go.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::filesystem::permissions(
            it->path(), std::filesystem::perms::owner_all,
            std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, error);
        error.clear();
    }
    std::filesystem::remove_all(m_path, error);
}

std::string TestFolder::str() const {
    return utf8FromPath(m_path);
}

std::filesystem::path TestFolder::operator/(std::string_view name) const {
    return m_path / pathFromUtf8(name);
}

void TestFolder::writeFile(std::string_view name, std::string_view content) const {
    writeWholeFile(m_path / pathFromUtf8(name), content);
}

std::string TestFolder::readFile(std::string_view name) const {
    return readWholeFile(m_path / pathFromUtf8(name));
}

void TestFolder::createDatabase(std::string_view name, const std::string& schema) const {
    sqlite3* db = nullptr;
    const auto path = utf8FromPath(m_path / pathFromUtf8(name));
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string reason = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("cannot create a database at " + path + ": " + reason);
    }
    sqlite3_close(db);
}

void TestFolder::createVisitDatabase(std::string_view name) const {
    createDatabase(name, readWholeFile(TRAWLMETER_SCHEMA_FILE));
}

void TestFolder::copyRangeFiles(std::string_view name) const {
    for (const auto& file : std::filesystem::directory_iterator(TRAWLMETER_RANGES_DIR)) {
        if (file.path().extension() == ".json") {
            std::filesystem::copy_file(file.path(), m_path / name / file.path().filename());
        }
    }
}

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeWholeFile(const std::filesystem::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

} // namespace trawlmeter::testing
