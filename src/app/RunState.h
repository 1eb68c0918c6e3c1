#pragma once

#include "analysis/ChunkItems.h"
#include "store/FieldLayout.h"

namespace trawlmeter {

// What an analysis run carries from one chunk to the next, and how it ends.
struct RunState {
    bool inProgress = false;
    bool stopRequested = false;
    // The items of the log's chunks. Within a run a chunk's unfinished last line waits for the
    // next chunk; outside one every chunk ends its own lines.
    analysis::ChunkItems items;
    // The field layout in force, as the last "#Fields:" line set it; each run starts afresh.
    store::FieldLayout fieldLayout = store::FieldLayout::standard();
};

} // namespace trawlmeter
