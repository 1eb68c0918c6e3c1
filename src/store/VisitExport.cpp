#include "app/MainForm.h"

#include "store/LineCutter.h"
#include "store/VisitRecord.h"

namespace trawlmeter {

void MainForm::exportVisit(std::string_view table) {
    const std::string item = TxtContent.Text();
    const auto pieces = store::cutAtSpaces(item);
    // No open database or no such table: nothing is stored and VisitRs keeps what it held.
    auto recordset = VisitDb ? VisitDb->OpenRecordset(table) : nullptr;
    if (!recordset) {
        return;
    }
    VisitRs = recordset;
    recordset->AddNew();
    store::fillVisitRecord(*recordset, pieces, m_scan.fieldLayout);
    // A refused write loses this record only.
    (void)recordset->Update();
    recordset->Close();
}

void MainForm::CmdSaveBaidu_Click() {
    exportVisit("baidu");
}
void MainForm::CmdSaveGoogle_Click() {
    exportVisit("google");
}
void MainForm::CmdSaveYahoo_Click() {
    exportVisit("yahoo");
}
void MainForm::CmdSaveSogou_Click() {
    exportVisit("sogou");
}
void MainForm::CmdSaveMsn_Click() {
    exportVisit("msn");
}

} // namespace trawlmeter
