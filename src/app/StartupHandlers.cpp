#include "app/MainForm.h"

#include <chrono>

#include "app/CrawlerEngines.h"
#include "app/FormLayout.h"
#include "app/Messages.h"
#include "app/ProgramFiles.h"
#include "platform/FileSystem.h"
#include "store/OtherCrawlersTable.h"
#include "store/VisitTableCheck.h"

namespace trawlmeter {
namespace {

// A file that opens but lacks an engine table, or a field of one, would count crawlers and
// store nothing, and one that keeps texts as UTF-16 would store other bytes than the log's, so
// each is refused like a damaged one. Each table is read here once; the run and the exports
// take it as it was read.
Expected<void> checkVisitDatabase(db::Database& database) {
    if (auto kept = store::checkTextEncoding(database); !kept) {
        return kept;
    }
    for (const auto table : kCrawlerTables) {
        auto recordset = database.OpenRecordset(table);
        if (!recordset) {
            return tl::unexpected(recordset.error());
        }
        if (auto checked = store::checkVisitTable(**recordset); !checked) {
            return checked;
        }
    }
    // Missing, it is made at the first run; there, it must take every visit as well.
    return store::checkOtherCrawlersTable(database);
}

} // namespace

void MainForm::Form_Load() {
    // Without a usable database nothing the window offers could work.
    const auto refuse = [this](const char* prompt, std::optional<Failure> failure) {
        m_shownFailure = std::move(failure);
        m_ports.messageBox.showMessage(prompt, kOkOnly, messages::kRestartTitle);
        CmdAnalysis.setEnabled(false);
        MnuCrawlerReport.setEnabled(false);
    };
    const std::string databasePath = programPath(kDatabaseName);
    if (!fs::FileExists(databasePath)) {
        refuse(messages::kDatabaseMissing, std::nullopt);
        return;
    }
    auto database = db::Database::open(databasePath);
    if (!database) {
        refuse(messages::kDatabaseUnusable, database.error());
        return;
    }
    if (auto checked = checkVisitDatabase(**database); !checked) {
        refuse(messages::kDatabaseUnusable, checked.error());
        return;
    }
    VisitDb = std::move(*database);
    // Another program's lock is waited for with the window kept live.
    VisitDb->setBusyWait(kDatabaseWait, [this] { DoEvents(); });
}

bool MainForm::Form_Unload() {
    bool committed = true;
    if (VisitDb) {
        if (auto closed = VisitDb->Close(); !closed) {
            tell(messages::databaseCloseFailed(closed.error()), closed.error());
            committed = false;
        }
    }
    VisitDb.reset();
    return committed;
}

void MainForm::Label4_Click() {
    // The outcome is not the program's business: a browser that will not open shows nothing.
    (void)m_ports.urlOpener.openUrl(std::string(kHomePage));
}

} // namespace trawlmeter
