#include "app/MainForm.h"

#include "store/LineCutter.h"

namespace trawlmeter {

void MainForm::exportVisit(std::string_view table) {
    const std::string item = TxtContent.Text();
    const auto pieces = store::cutAtSpaces(item);
    // A missing table or no open database stores nothing; the caller never hears of it.
    if (!VisitDb) {
        return;
    }
    auto recordset = VisitDb->OpenRecordset(table);
    if (!recordset) {
        return;
    }
    VisitRs = recordset;
    recordset->AddNew();
    const auto& layout = m_scan.fieldLayout;
    for (std::size_t piece = 0; piece < pieces.size() && piece < layout.pieceCount(); ++piece) {
        const auto column = layout.columnForPiece(piece);
        // A field the layout or the table lacks is skipped; the record is still written.
        if (!column.empty()) {
            (void)recordset->setField(column, pieces[piece]);
        }
    }
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
