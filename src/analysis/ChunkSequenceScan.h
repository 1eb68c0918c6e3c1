#pragma once

#include <string>

namespace trawlmeter {
class MainForm;
}

namespace trawlmeter::analysis {

// Scans chunks one after another the way an analysis run does, for callers that drive the
// scanner without a whole run (benchmarks, tests): the field layout starts afresh, a line
// that straddles two chunks is joined, and finish() handles a held last line.
class ChunkSequenceScan {
public:
    explicit ChunkSequenceScan(MainForm& form);
    ChunkSequenceScan(const ChunkSequenceScan&) = delete;
    ChunkSequenceScan& operator=(const ChunkSequenceScan&) = delete;
    // Leaves the form scanning single chunks again; a held line not finished is dropped.
    ~ChunkSequenceScan();

    void scan(const std::string& name);
    void finish();

private:
    MainForm& m_form;
};

} // namespace trawlmeter::analysis
