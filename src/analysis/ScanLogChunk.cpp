#include "app/MainForm.h"

#include "analysis/ChunkFile.h"
#include "analysis/CrawlerTokens.h"

#include <array>
#include <vector>

namespace trawlmeter {
namespace {

// Large enough that reading costs next to nothing per line, small enough to stay cheap.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::string_view kFieldsDirective = "#Fields:";

// The crawler engines in the test order of kCrawlerTokens.
struct CrawlerEngine {
    TextBox MainForm::*counter;
    void (MainForm::*visitExport)();
};
constexpr std::array<CrawlerEngine, analysis::kCrawlerTokens.size()> kEngines{{
    {&MainForm::TxtBaiduCnt, &MainForm::CmdSaveBaidu_Click},
    {&MainForm::TxtGoogleCnt, &MainForm::CmdSaveGoogle_Click},
    {&MainForm::TxtYahooCnt, &MainForm::CmdSaveYahoo_Click},
    {&MainForm::TxtSogouCnt, &MainForm::CmdSaveSogou_Click},
    {&MainForm::TxtMsnCnt, &MainForm::CmdSaveMsn_Click},
}};

void commitVisits(db::Database* database) {
    // A refused commit leaves the records in the open transaction; closing tries again.
    if (database) {
        (void)database->commit();
    }
}

} // namespace

bool MainForm::scanItem(std::string_view item) {
    if (item.starts_with(kFieldsDirective)) {
        m_scan.fieldLayout =
            store::FieldLayout::fromFieldNames(item.substr(kFieldsDirective.size()));
    }
    const int engine = analysis::findCrawlerToken(item);
    if (engine >= 0) {
        const auto& row = kEngines[static_cast<std::size_t>(engine)];
        analysis::raiseCounter(this->*row.counter,
                               m_scan.counters[static_cast<std::size_t>(engine)]);
        TxtContent.setText(std::string(item));
        (this->*row.visitExport)();
    }
    analysis::raiseCounter(TxtLineCnt,
                           m_scan.counters[static_cast<std::size_t>(analysis::Counter::Lines)]);
    DoEvents();
    return !m_stopRequested;
}

void MainForm::ScanLogChunk(const std::string& name) {
    const std::string path = programPath("temp/" + name);
    auto chunk = analysis::ChunkFile::open(path);
    std::vector<char> block(kBlockSize);
    bool readable = false;
    std::size_t got = 0;
    const auto readNextBlock = [&] {
        const auto result = chunk ? chunk->read(block) : std::nullopt;
        readable = result.has_value();
        got = result.value_or(0);
    };
    readNextBlock();
    bool going = true;
    while (going && readable && got > 0) {
        m_scan.lines.setBlock(std::string_view(block.data(), got));
        while (going) {
            const auto item = m_scan.lines.next();
            if (!item) {
                break;
            }
            going = scanItem(*item);
        }
        if (going) {
            readNextBlock();
        }
    }
    if (!going) {
        // The window is closing: what this chunk still holds will never be scanned.
        m_scan.lines.reset();
    } else if (!readable || !m_scan.holdTail) {
        // When a chunk cannot be opened or read, the line it would have continued is lost
        // with it: the held part is a line of its own. Outside a run a chunk ends its lines.
        flushHeldLine();
    }
    commitVisits(VisitDb.get());
}

void MainForm::flushHeldLine() {
    const auto item = m_scan.lines.finish();
    if (item && !scanItem(*item)) {
        m_scan.lines.reset();
    }
    commitVisits(VisitDb.get());
}

} // namespace trawlmeter
