#include "ScanFixture.h"

#include "store/VisitColumns.h"
#include "support/VisitRecords.h"

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
    std::vector<Visit> visits;
    for (const auto& record :
         readVisitRecords((folder / "rezOve.mdb").string(), std::string(table))) {
        Visit visit;
        for (std::size_t column = 0; column < record.size(); ++column) {
            if (record[column]) {
                visit[std::string(store::kVisitColumns[column])] = *record[column];
            }
        }
        visits.push_back(std::move(visit));
    }
    return visits;
}

std::string ScanFixture::counters() const {
    return form->TxtBaiduCnt.Text() + " " + form->TxtGoogleCnt.Text() + " " +
           form->TxtYahooCnt.Text() + " " + form->TxtSogouCnt.Text() + " " +
           form->TxtMsnCnt.Text() + " / " + form->TxtLineCnt.Text();
}

} // namespace trawlmeter::testing
