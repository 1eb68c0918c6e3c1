#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trawlmeter::testing {

// A fresh folder per test, removed when the test passed.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path as UTF-8 text, as the program takes paths.
    std::string str() const;
    // `name` is UTF-8, as the program's paths are.
    std::filesystem::path operator/(std::string_view name) const;

    void writeFile(std::string_view name, std::string_view content) const;
    std::string readFile(std::string_view name) const;
    // Lays a database made from the SQL `schema` at `name`; throws when the SQL fails.
    void createDatabase(std::string_view name, const std::string& schema) const;
    // Lays a fresh visit database made from the delivered schema at `name`.
    void createVisitDatabase(std::string_view name = "rezOve.mdb") const;
    // Lays the shipped files of the crawlers' published ranges into the folder `name` ("" for
    // the test folder itself), as beside the program.
    void copyRangeFiles(std::string_view name = "") const;

private:
    std::filesystem::path m_path;
};

std::string readWholeFile(const std::filesystem::path& path);
void writeWholeFile(const std::filesystem::path& path, std::string_view content);

} // namespace trawlmeter::testing
