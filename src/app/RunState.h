#pragma once

#include "analysis/ChunkItems.h"
#include "logs/LogArchive.h"
#include "logs/LogReader.h"
#include "analysis/FieldLayout.h"
#include "crawlers/CrawlerMatcher.h"
#include "store/VisitWriter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace trawlmeter {

// How long a write waits for another program's lock on the database before it fails.
inline constexpr auto kDatabaseWait = std::chrono::seconds(30);

// What an analysis run carries from one chunk to the next, and how it ends.
struct RunState {
    explicit RunState(const analysis::TokenSearch& tokens) : items(tokens) {}

    bool inProgress = false;
    bool stopRequested = false;
    // The items of the log's chunks. Within a run a chunk's unfinished last line waits for the
    // next chunk; outside one every chunk ends its own lines.
    analysis::ChunkItems items;
    // The field layout in force, as the last "#Fields:" line set it; each log starts afresh.
    // Shared with the visits that wait to be written under it.
    std::shared_ptr<const analysis::FieldLayout> fieldLayout = standardLayout();
    // During a run the visits are written on a thread of their own; outside one, at once.
    std::unique_ptr<store::VisitWriter> writer;
    // The engines' tables, then the other crawlers' (kOtherCrawlersPlace), for the writer and
    // for VisitRs.
    std::vector<std::shared_ptr<db::Recordset>> tables;
    // Finds the other known crawlers in the lines no engine claims. Made at the first run and
    // kept: it remembers the last user agent, as lines come in runs from one client.
    std::optional<crawlers::CrawlerMatcher> otherCrawlers;
    // How many items of this run have been counted; a visit is numbered with the count that
    // includes it.
    std::uint64_t itemsCounted = 0;
    // The member of an archive, or the compressed log, that the split reads; nothing for a plain
    // log.
    std::optional<logs::LogEntry> log;
    // The archive whose members the run reads, opened once for all of them.
    std::optional<logs::MemberWalk> members;
    // Set when the log lies inside the work folder: the run leaves the folder where it is.
    bool keepWorkFolder = false;

    static std::shared_ptr<const analysis::FieldLayout> standardLayout() {
        return std::make_shared<const analysis::FieldLayout>(analysis::FieldLayout::standard());
    }
};

} // namespace trawlmeter
