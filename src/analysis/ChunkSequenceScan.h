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
    ~ChunkSequenceScan() { end(); }

    void scan(const std::string& name);
    // Handles a held last line as a line of its own.
    void finish();
    // Leaves the form scanning single chunks again with the standard layout; a held line not
    // finished is dropped.
    void end();

private:
    MainForm& m_form;
};

} // namespace trawlmeter::analysis
