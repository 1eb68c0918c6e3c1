#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/FormLayout.h"
#include "app/ProgramFiles.h"
#include "app/RunMessages.h"
#include "platform/FileSystem.h"
#include "store/VisitTableCheck.h"

#include <algorithm>
#include <chrono>

namespace trawlmeter {
namespace {

constexpr const char* kMissingPrompt =
    "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下";
constexpr const char* kUnopenablePrompt =
    "无法打开rezOve.mdb数据库文件，请确认数据库文件完好且没有被其他程序占用";
constexpr const char* kRestartTitle = "请重新运行程序";

// A file that opens but lacks an engine table, or a field of one, would count crawlers and
// store nothing, so it is refused like a damaged one.
bool isVisitDatabase(db::Database& database) {
    return std::all_of(kCrawlerTables.begin(), kCrawlerTables.end(), [&](std::string_view table) {
        return store::isVisitTable(database, table);
    });
}

} // namespace

void MainForm::Form_Load() {
    // Without a usable database nothing the window offers could work.
    const auto refuse = [this](const char* prompt) {
        m_ports.messageBox.showMessage(prompt, kOkOnly, kRestartTitle);
        CmdAnalysis.setEnabled(false);
        MnuCrawlerReport.setEnabled(false);
    };
    const std::string databasePath = programPath(kDatabaseName);
    if (!fs::FileExists(databasePath)) {
        refuse(kMissingPrompt);
        return;
    }
    auto database = db::Database::open(databasePath);
    if (!database || !isVisitDatabase(*database)) {
        refuse(kUnopenablePrompt);
        return;
    }
    VisitDb = std::move(database);
    // Another program's lock is waited for with the window kept live.
    VisitDb->setBusyWait(kDatabaseWait, [this] { DoEvents(); });
}

bool MainForm::Form_Unload() {
    bool committed = true;
    if (VisitDb) {
        if (auto closed = VisitDb->Close(); !closed) {
            tell(messages::databaseCloseFailed(closed.error()));
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
