#include "ScanFixture.h"

#include <sqlite3.h>

#include <filesystem>

namespace trawlmeter::testing {

ScanFixture::ScanFixture() {
    folder.createVisitDatabase();
    std::filesystem::create_directory(folder / "temp");
    form = std::make_unique<MainForm>(platform.ports(folder.str()));
    form->Form_Load();
    EXPECT_TRUE(form->VisitDb);
}

void ScanFixture::writeChunk(std::string_view name, std::string_view content) const {
    folder.writeFile("temp/" + std::string(name), content);
}

std::vector<Visit> ScanFixture::visits(std::string_view table) const {
    std::vector<Visit> rows;
    sqlite3* db = nullptr;
    const auto path = (folder / "rezOve.mdb").string();
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return rows;
    }
    const std::string sql = "SELECT * FROM " + std::string(table) + " ORDER BY rowid";
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db);
    }
    while (query && sqlite3_step(query) == SQLITE_ROW) {
        Visit visit;
        for (int column = 0; column < sqlite3_column_count(query); ++column) {
            if (const auto* text = sqlite3_column_text(query, column)) {
                visit[sqlite3_column_name(query, column)] = reinterpret_cast<const char*>(text);
            }
        }
        rows.push_back(std::move(visit));
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return rows;
}

std::string ScanFixture::counters() const {
    return form->TxtBaiduCnt.Text() + " " + form->TxtGoogleCnt.Text() + " " +
           form->TxtYahooCnt.Text() + " " + form->TxtSogouCnt.Text() + " " +
           form->TxtMsnCnt.Text() + " / " + form->TxtLineCnt.Text();
}

} // namespace trawlmeter::testing
