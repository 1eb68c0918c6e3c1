#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "store/VisitRecord.h"

#include <algorithm>

namespace trawlmeter {

MainForm::VisitExport MainForm::exportVisit(VisitExport (MainForm::*handler)()) {
    const auto engine =
        std::find_if(kCrawlerEngines.begin(), kCrawlerEngines.end(),
                     [handler](const auto& row) { return row.visitExport == handler; });
    const auto table = static_cast<std::size_t>(engine - kCrawlerEngines.begin());
    if (m_run.writer) {
        VisitRs = m_run.tables[table];
        if (!m_run.writer->add(table, TxtContent.Text(), m_run.fieldLayout, m_run.itemsCounted)) {
            return tl::unexpected(m_run.writer->failure()->reason);
        }
        return {};
    }
    if (!VisitDb) {
        return tl::unexpected(std::string("no database is open"));
    }
    // No such table: nothing is stored and VisitRs keeps what it held.
    auto recordset = VisitDb->OpenRecordset(engine->table);
    if (!recordset) {
        return tl::unexpected("no such table: " + std::string(engine->table));
    }
    VisitRs = recordset;
    recordset->AddNew();
    // The record views into the text box, which nothing changes before it is written.
    store::fillVisitRecord(*recordset, TxtContent.Text(), *m_run.fieldLayout);
    auto written = recordset->Update();
    recordset->Close();
    return written;
}

MainForm::VisitExport MainForm::CmdSaveBaidu_Click() {
    return exportVisit(&MainForm::CmdSaveBaidu_Click);
}
MainForm::VisitExport MainForm::CmdSaveGoogle_Click() {
    return exportVisit(&MainForm::CmdSaveGoogle_Click);
}
MainForm::VisitExport MainForm::CmdSaveYahoo_Click() {
    return exportVisit(&MainForm::CmdSaveYahoo_Click);
}
MainForm::VisitExport MainForm::CmdSaveSogou_Click() {
    return exportVisit(&MainForm::CmdSaveSogou_Click);
}
MainForm::VisitExport MainForm::CmdSaveMsn_Click() {
    return exportVisit(&MainForm::CmdSaveMsn_Click);
}

} // namespace trawlmeter
