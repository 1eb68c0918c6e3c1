#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "store/LineCutter.h"
#include "store/VisitRecord.h"

#include <algorithm>

namespace trawlmeter {

void MainForm::exportVisit(void (MainForm::*handler)()) {
    const auto engine =
        std::find_if(kCrawlerEngines.begin(), kCrawlerEngines.end(),
                     [handler](const auto& row) { return row.visitExport == handler; });
    const std::string item = TxtContent.Text();
    const auto pieces = store::cutAtSpaces(item);
    // No open database or no such table: nothing is stored and VisitRs keeps what it held.
    auto recordset = VisitDb ? VisitDb->OpenRecordset(engine->table) : nullptr;
    if (!recordset) {
        return;
    }
    VisitRs = recordset;
    recordset->AddNew();
    store::fillVisitRecord(*recordset, pieces, m_run.fieldLayout);
    // A refused write loses this record only.
    (void)recordset->Update();
    recordset->Close();
}

void MainForm::CmdSaveBaidu_Click() {
    exportVisit(&MainForm::CmdSaveBaidu_Click);
}
void MainForm::CmdSaveGoogle_Click() {
    exportVisit(&MainForm::CmdSaveGoogle_Click);
}
void MainForm::CmdSaveYahoo_Click() {
    exportVisit(&MainForm::CmdSaveYahoo_Click);
}
void MainForm::CmdSaveSogou_Click() {
    exportVisit(&MainForm::CmdSaveSogou_Click);
}
void MainForm::CmdSaveMsn_Click() {
    exportVisit(&MainForm::CmdSaveMsn_Click);
}

} // namespace trawlmeter
