#pragma once

#include "store/FieldLayout.h"

namespace trawlmeter::analysis {

// What the scanner carries from one chunk to the next.
struct ScanState {
    // The field layout in force, as the last "#Fields:" line set it.
    store::FieldLayout fieldLayout = store::FieldLayout::standard();
    // True during an analysis run: a chunk's unfinished last line waits for the next chunk.
    bool holdTail = false;
};

} // namespace trawlmeter::analysis
