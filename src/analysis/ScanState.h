#pragma once

#include "analysis/CounterText.h"
#include "analysis/LineSplitter.h"
#include "store/FieldLayout.h"

#include <array>

namespace trawlmeter::analysis {

// The counter boxes the scanner raises, as positions in ScanState::counters.
enum class Counter { Baidu, Google, Yahoo, Sogou, Msn, Lines };

// What the scanner carries from one chunk to the next.
struct ScanState {
    // The field layout in force, as the last "#Fields:" line set it.
    store::FieldLayout fieldLayout = store::FieldLayout::standard();
    // True during an analysis run: a chunk's unfinished last line waits for the next chunk.
    bool holdTail = false;
    // The item stream across chunks, with the held unfinished line.
    LineSplitter lines;
    std::array<CounterCache, 6> counters{};
};

} // namespace trawlmeter::analysis
