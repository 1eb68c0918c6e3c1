#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/Messages.h"
#include "logs/LogArchive.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Problem.h"
#include "split/ChunkCutter.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"
#include "split/CutAhead.h"
#include "store/OtherCrawlersTable.h"
#include "store/VisitColumns.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace trawlmeter {
namespace {

constexpr std::string_view kFieldsDirective = "#Fields:";
// The field other crawlers are found by.
constexpr std::size_t kUserAgentField = 10;
static_assert(analysis::kW3cFields[kUserAgentField] == "cs(User-Agent)");

// A scanned chunk whose records the writer commits while the next chunk is scanned.
struct CommittingChunk {
    std::string name;
    std::int64_t number = 0;
    std::uint64_t commit = 0;
};

} // namespace

void MainForm::CmdAnalysis_Click() {
    CmdAnalysis.setEnabled(false);
    // The report reads the database the run holds.
    MnuCrawlerReport.setEnabled(false);
    m_run.inProgress = true;
    m_run.stopRequested = false;
    m_run.fieldLayout = RunState::standardLayout();
    m_run.itemsCounted = 0;
    m_run.keepWorkFolder = false;

    // A log in the work folder is refused before anything there is touched.
    RunStep outcome = refuseInWorkFolder(TxtrezOveFile.Text());
    // One run at a time per program folder, across processes: a second one touches nothing.
    auto lock = outcome == RunStep::Done ? FolderLock::tryLock(programFolder())
                                         : Expected<FolderLock>(fail(Problem::InWorkFolder));
    if (outcome != RunStep::Done) {
        // Said so already.
    } else if (!lock) {
        outcome = RunStep::Failed;
        tell(lock.error().code == std::errc::resource_unavailable_try_again
                 ? messages::kAnotherRun
                 : messages::workFolderUnusable(lock.error()),
             lock.error());
    } else {
        outcome = analyseWithTheDatabaseHeld();
        // A run that did not end with its last chunk drops the unfinished line instead of
        // storing half of it.
        m_run.items.reset();
        m_run.members.reset();
        m_run.fieldLayout = RunState::standardLayout();
        // A log that turned up in the work folder during a yield stays there with it.
        if (!m_run.keepWorkFolder) {
            Label2.setCaption(messages::kChunksDeleted);
            // What will not go (a write-protected chunk) stays for the next run to remove.
            (void)CmdDeleteTemp_Click();
        }
    }
    // A missing log ends the run as the split command reported it, with nothing to analyse.
    const bool finished = outcome == RunStep::Done || outcome == RunStep::LogMissing;
    Label3.setCaption(finished ? messages::kAnalysisDone : messages::kAnalysisUnfinished);
    m_lastRunOutcome = outcome;
    CmdAnalysis.setEnabled(true);
    MnuCrawlerReport.setEnabled(VisitDb != nullptr);
    m_run.inProgress = false;
}

RunStep MainForm::analyseWithTheDatabaseHeld() {
    if (!VisitDb) {
        const Failure noDatabase{Problem::NoDatabase, {}, {}};
        tell(messages::databaseWriteFailed(noDatabase), noDatabase);
        return RunStep::Failed;
    }
    // A database of an earlier version gains the other crawlers' table at its first run, in a
    // commit of its own before the run's writes.
    if (auto made = store::makeOtherCrawlersTable(*VisitDb); !made) {
        tell(messages::databaseWriteFailed(made.error()), made.error());
        return RunStep::Failed;
    }
    if (!m_run.otherCrawlers) {
        auto catalogue = crawlers::CrawlerCatalogue::shipped();
        auto matcher = catalogue ? crawlers::CrawlerMatcher::build(std::move(*catalogue))
                                 : tl::unexpected(catalogue.error());
        if (!matcher) {
            tell(messages::crawlerListUnusable(matcher.error()), matcher.error());
            return RunStep::Failed;
        }
        m_run.otherCrawlers = std::move(*matcher);
    }
    if (auto locked = VisitDb->beginRunWrites(); !locked) {
        tell(messages::databaseWriteFailed(locked.error()), locked.error());
        return RunStep::Failed;
    }
    m_run.tables.clear();
    std::vector<std::string_view> tables(kCrawlerTables.begin(), kCrawlerTables.end());
    tables.push_back(store::kOtherCrawlersTable);
    for (const auto table : tables) {
        auto opened = VisitDb->OpenRecordset(table);
        if (!opened) {
            tell(messages::databaseWriteFailed(opened.error()), opened.error());
            (void)VisitDb->endRunWrites();
            return RunStep::Failed;
        }
        m_run.tables.push_back(std::move(*opened));
    }
    // The writer's thread must not run the event loop: while it waits for a lock it only waits,
    // and this thread keeps the window live while it waits for the writer.
    VisitDb->setBusyWait(kDatabaseWait, {});
    RunStep outcome = RunStep::Failed;
    try {
        m_run.writer =
            std::make_unique<store::VisitWriter>(*VisitDb, m_run.tables, [this] { DoEvents(); });
        outcome = analyseChosenLog();
    } catch (const std::exception& exception) {
        // Memory that ran out, or a thread that could not start: the run ends as on a refused
        // record, the chunk in hand rolled back and what earlier chunks committed kept.
        m_run.items.reset();
        rollbackVisits();
        const Failure failure = failureOf(exception);
        tell(messages::analysisFailed(failure), failure);
        outcome = RunStep::Failed;
    }
    m_run.writer.reset();
    VisitDb->setBusyWait(kDatabaseWait, [this] { DoEvents(); });
    if (auto durable = VisitDb->endRunWrites(); !durable && outcome != RunStep::Failed) {
        tell(messages::databaseWriteFailed(durable.error()), durable.error());
        outcome = RunStep::Failed;
    }
    return outcome;
}

RunStep MainForm::analyseChosenLog() {
    m_run.log.reset();
    const std::string path = TxtrezOveFile.Text();
    if (logs::logKindOf(path) != logs::LogKind::Archive || !fs::PathExists(path)) {
        return analyseLog();
    }
    // An archive stands for its logs, analysed one after another as if each had been chosen.
    auto logs = logs::listLogs(path);
    if (!logs || logs->empty()) {
        const Failure failure = logs ? Failure{Problem::NoLogInside, path, {}} : logs.error();
        tell(messages::logUnreadable(failure), failure);
        return RunStep::LogUnreadable;
    }
    // Nothing of an archive is counted unless all of it can be read.
    if (logs->size() > 1 || !logs::membersCheckThemselves(path)) {
        const auto whole = logs::verifyLogs(path, [this] {
            DoEvents();
            return !m_run.stopRequested;
        });
        if (!whole) {
            tell(messages::logUnreadable(whole.error()), whole.error());
            return RunStep::LogUnreadable;
        }
        if (!*whole) {
            return RunStep::Stopped;
        }
    }
    // Members in the archive's own order are read in one pass.
    m_run.members.emplace(path);
    for (auto& log : *logs) {
        m_run.log = std::move(log);
        m_run.fieldLayout = RunState::standardLayout();
        if (const RunStep step = analyseLog(); step != RunStep::Done) {
            return step;
        }
    }
    return RunStep::Done;
}

RunStep MainForm::analyseLog() {
    if (const RunStep prepared = prepareSplit(); prepared != RunStep::Done) {
        return prepared;
    }
    // Read again: a log chosen inside the yield is the one analysed.
    const std::string source = TxtrezOveFile.Text();
    const std::string destination = split::chunkBasePath(programFolder());
    auto cutter = openCut(source, destination, split::kRunChunkBuffers, split::kRunBufferBytes);
    if (!cutter) {
        return splitStopped(cutter.error(), source, destination);
    }
    // The list names the chunks of this run, each as its scan starts; a plain log's count is
    // known now, a compressed log's grows as it is inflated.
    LstiisFile.Clear();
    const auto chunkCount = cutter->chunkCount();
    if (chunkCount) {
        TxtLstiisFileCnt.setText(std::to_string(*chunkCount));
        Label2.setCaption(messages::splitDone(TxtLstiisFileCnt.Text()));
    }
    // The cut's thread ends, its chunk in hand removed, before this returns: the work folder is
    // then the run's alone to remove.
    split::CutAhead cut(std::move(*cutter), split::kRunChunksAhead);
    const RunStep scanned = scanChunksOf(cut, source, destination);
    cut.stop();
    return scanned != RunStep::Done ? scanned : finishLog();
}

RunStep MainForm::scanChunksOf(split::CutAhead& cut, const std::string& source,
                               const std::string& destination) {
    std::optional<CommittingChunk> committing;
    // This chunk's records are committed while the next chunk is scanned; the chunk before it
    // goes once its own are, and the cut may then go one chunk further.
    const auto deleteCommitted = [this, &cut](const CommittingChunk& chunk) {
        const RunStep deleted = deleteOnceCommitted(chunk.name, chunk.commit);
        cut.letGo(chunk.number);
        return deleted;
    };
    for (std::int64_t number = 0;; ++number) {
        const auto next = cut.waitFor(number, [this] { DoEvents(); });
        if (m_run.stopRequested) {
            return RunStep::Stopped;
        }
        if (!next || *next == split::CutAhead::Chunk::PastTheEnd) {
            // The chunks before a failure of the cut are analysed and their records kept.
            if (committing) {
                if (const RunStep deleted = deleteCommitted(*committing);
                    deleted != RunStep::Done) {
                    return deleted;
                }
            }
            return next ? RunStep::Done : splitStopped(next.error(), source, destination);
        }
        LstiisFile.AddItem(split::chunkName(number));
        if (!cut.chunkCount()) {
            TxtLstiisFileCnt.setText(std::to_string(LstiisFile.ListCount()));
            Label2.setCaption(messages::splitDone(TxtLstiisFileCnt.Text()));
        }
        (void)LstiisFile.setListIndex(number);
        Label3.setCaption(messages::analysingChunk(number + 1));
        TxtFileName.setText(LstiisFile.Text());
        if (const RunStep scanned = ScanLogChunk(TxtFileName.Text()); scanned != RunStep::Done) {
            return scanned;
        }
        // Without the writer the records are committed already.
        const auto previous = std::exchange(
            committing, CommittingChunk{TxtFileName.Text(), number,
                                        m_run.writer ? m_run.writer->handCommit(m_run.itemsCounted,
                                                                                TxtContent.Text())
                                                     : 0});
        if (previous) {
            if (const RunStep deleted = deleteCommitted(*previous); deleted != RunStep::Done) {
                return deleted;
            }
        }
    }
}

RunStep MainForm::deleteOnceCommitted(const std::string& name, std::uint64_t commit) {
    if (m_run.writer) {
        if (auto committed = m_run.writer->waitForCommit(commit); !committed) {
            return abandonVisits(committed.error());
        }
    }
    // One that will not go (write-protected) stays until the work folder is removed.
    (void)fs::DeleteFile(split::chunkPath(programFolder(), name));
    return RunStep::Done;
}

RunStep MainForm::ScanLogChunk(const std::string& name) {
    const std::string path = split::chunkPath(programFolder(), name);
    RunStep step = RunStep::Done;
    const auto end = m_run.items.scan(path, [this, &step](const analysis::Item& item) {
        step = scanItem(item);
        return step == RunStep::Done;
    });
    if (!end) {
        // Its lines would be missing from the counts and the records.
        m_run.items.reset();
        rollbackVisits();
        tell(messages::chunkUnreadable(end.error()), end.error());
        return RunStep::Failed;
    }
    // A visit that could not be stored has said so already.
    if (step == RunStep::Failed) {
        return step;
    }
    // Outside a run a chunk ends its own lines.
    if (step == RunStep::Done && !m_run.inProgress) {
        return finishLog();
    }
    // Within a run the writer commits a scanned chunk while the next one is scanned.
    if (step == RunStep::Done && m_run.writer) {
        return step;
    }
    // A stopped scan keeps what it stored.
    const RunStep committed = commitVisits();
    return committed != RunStep::Done ? committed : step;
}

RunStep MainForm::scanItem(const analysis::Item& item) {
    if (item.text.starts_with(kFieldsDirective)) {
        m_run.fieldLayout = std::make_shared<const analysis::FieldLayout>(
            analysis::FieldLayout::fromFieldNames(item.text.substr(kFieldsDirective.size())));
    }
    if (item.token >= 0) {
        const CrawlerEngine& row = kCrawlerEngines[static_cast<std::size_t>(item.token)];
        raiseCounter(this->*row.counter);
        TxtContent.setText(item.text);
        if (auto stored = (this->*row.visitExport)(); !stored) {
            if (m_run.writer) {
                // A visit written on the writer's thread failed before this one: this item's
                // count goes back with those of the visits after it.
                lowerCounter(this->*row.counter, 1);
            } else {
                // The refused line was read: the line counter stops on it as its engine's does.
                raiseCounter(TxtLineCnt);
                ++m_run.itemsCounted;
            }
            return abandonVisits(stored.error());
        }
    } else if (m_run.writer && !item.text.starts_with('#')) {
        // Other crawlers are looked for during a run, which holds their table.
        if (const RunStep other = scanForOtherCrawler(item.text); other != RunStep::Done) {
            return other;
        }
    }
    raiseCounter(TxtLineCnt);
    ++m_run.itemsCounted;
    DoEvents();
    return m_run.stopRequested ? RunStep::Stopped : RunStep::Done;
}

RunStep MainForm::scanForOtherCrawler(std::string_view item) {
    const auto piece = m_run.fieldLayout->pieceOfField(kUserAgentField);
    if (!piece) {
        return RunStep::Done;
    }
    // The pieces as analysis::forEachPiece cuts them, found from the start by the library's
    // search for a space (memchr): nearly every line comes here, and counting or walking the
    // line byte by byte cost more than the look-up itself.
    std::size_t start = 0;
    for (std::size_t before = 0; before < *piece; ++before) {
        const std::size_t space = item.find(' ', start);
        if (space == std::string_view::npos) {
            return RunStep::Done;
        }
        start = space + 1;
    }
    const std::size_t end = std::min(item.find(' ', start), item.size());
    const std::string_view userAgent = item.substr(start, end - start);
    if (userAgent.empty() || userAgent == "-") {
        return RunStep::Done;
    }
    const auto crawler = m_run.otherCrawlers->match(userAgent);
    if (!crawler) {
        // The line might be a crawler's visit that would go unstored.
        m_run.items.reset();
        rollbackVisits();
        tell(messages::crawlerSearchFailed(crawler.error()), crawler.error());
        return RunStep::Failed;
    }
    if (*crawler == nullptr) {
        return RunStep::Done;
    }
    if (auto stored = exportOtherCrawler(item, (*crawler)->name); !stored) {
        return abandonVisits(stored.error());
    }
    ++m_otherCrawlerVisits;
    return RunStep::Done;
}

RunStep MainForm::finishLog() {
    if (const auto item = m_run.items.finish()) {
        if (scanItem(*item) == RunStep::Failed) {
            return RunStep::Failed;
        }
    }
    return commitVisits();
}

RunStep MainForm::commitVisits() {
    if (m_run.writer) {
        if (auto committed = m_run.writer->commit(m_run.itemsCounted, TxtContent.Text());
            !committed) {
            return abandonVisits(committed.error());
        }
        return RunStep::Done;
    }
    if (!VisitDb) {
        return RunStep::Done;
    }
    if (auto committed = VisitDb->commit(); !committed) {
        return abandonVisits(committed.error());
    }
    return RunStep::Done;
}

void MainForm::rollbackVisits() {
    if (m_run.writer) {
        m_run.writer->rollback();
    } else if (VisitDb) {
        VisitDb->rollback();
    }
}

RunStep MainForm::abandonVisits(const Failure& failure) {
    m_run.items.reset();
    rollbackVisits();
    // The scan went on while the writer wrote: the window is put back to the visit that failed,
    // as if the scan had stopped there.
    if (const auto lost = m_run.writer ? m_run.writer->lostVisits() : std::nullopt) {
        lowerCounter(TxtLineCnt, m_run.itemsCounted - lost->sequence);
        for (const std::size_t table : lost->droppedTables) {
            if (table == kOtherCrawlersPlace) {
                --m_otherCrawlerVisits;
            } else {
                lowerCounter(this->*kCrawlerEngines[table].counter, 1);
            }
        }
        m_run.itemsCounted = lost->sequence;
        TxtContent.setText(lost->item);
    }
    tell(messages::databaseWriteFailed(failure), failure);
    return RunStep::Failed;
}

} // namespace trawlmeter
