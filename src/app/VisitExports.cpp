#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "platform/Problem.h"
#include "store/VisitRecord.h"

namespace trawlmeter {

MainForm::VisitExport MainForm::exportVisit(std::size_t engine) {
    if (m_run.writer) {
        VisitRs = m_run.tables[engine];
        // Numbered with the count of items that includes it, so that a refusal puts the line
        // counter back to this line, as the engine's counter stands.
        return m_run.writer->add(engine, TxtContent.Text(), m_run.fieldLayout,
                                 m_run.itemsCounted + 1);
    }
    if (!VisitDb) {
        return fail(Problem::NoDatabase);
    }
    // No such table: nothing is stored and VisitRs keeps what it held.
    auto recordset = VisitDb->OpenRecordset(kCrawlerEngines[engine].table);
    if (!recordset) {
        return tl::unexpected(recordset.error());
    }
    VisitRs = *recordset;
    auto& table = **recordset;
    table.AddNew();
    // The record views into the text box, which nothing changes before it is written.
    store::fillVisitRecord(table, TxtContent.Text(), *m_run.fieldLayout);
    auto written = table.Update();
    table.Close();
    return written;
}

MainForm::VisitExport MainForm::exportOtherCrawler(std::string_view item,
                                                   std::string_view crawler) {
    if (!m_run.writer) {
        return fail(Problem::NoDatabase);
    }
    VisitRs = m_run.tables[kOtherCrawlersPlace];
    return m_run.writer->add(kOtherCrawlersPlace, item, m_run.fieldLayout, m_run.itemsCounted,
                             crawler);
}

MainForm::VisitExport MainForm::CmdSaveBaidu_Click() {
    return exportVisit(engineNamed("Baidu"));
}
MainForm::VisitExport MainForm::CmdSaveGoogle_Click() {
    return exportVisit(engineNamed("Google"));
}
MainForm::VisitExport MainForm::CmdSaveYahoo_Click() {
    return exportVisit(engineNamed("Yahoo"));
}
MainForm::VisitExport MainForm::CmdSaveSogou_Click() {
    return exportVisit(engineNamed("Sogou"));
}
MainForm::VisitExport MainForm::CmdSaveMsn_Click() {
    return exportVisit(engineNamed("Msn"));
}

} // namespace trawlmeter
