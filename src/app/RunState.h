#pragma once

#include "analysis/ChunkItems.h"
#include "split/LogArchive.h"
#include "store/FieldLayout.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trawlmeter {

// What an analysis run carries from one chunk to the next, and how it ends.
struct RunState {
    explicit RunState(const analysis::TokenSearch& tokens) : items(tokens) {}

    bool inProgress = false;
    bool stopRequested = false;
    // The items of the log's chunks. Within a run a chunk's unfinished last line waits for the
    // next chunk; outside one every chunk ends its own lines.
    analysis::ChunkItems items;
    // The field layout in force, as the last "#Fields:" line set it; each run starts afresh.
    store::FieldLayout fieldLayout = store::FieldLayout::standard();
    // The member of an archive, or the compressed log, that the split reads; nothing for a plain
    // log.
    std::optional<split::LogEntry> log;
    // How many chunks the last split wrote, numbered from 0: the only files a run scans.
    std::int64_t chunksWritten = 0;
    // SQLite's reason when an export could not store its record.
    std::string storeFailure;
};

} // namespace trawlmeter
