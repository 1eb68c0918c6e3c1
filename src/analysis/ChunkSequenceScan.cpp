#include "analysis/ChunkSequenceScan.h"

#include "app/MainForm.h"

namespace trawlmeter::analysis {

ChunkSequenceScan::ChunkSequenceScan(MainForm& form) : m_form(form) {
    m_form.m_scan.fieldLayout = store::FieldLayout::standard();
    m_form.m_scan.holdTail = true;
}

void ChunkSequenceScan::end() {
    m_form.m_scan.lines.reset();
    m_form.m_scan.holdTail = false;
    m_form.m_scan.fieldLayout = store::FieldLayout::standard();
}

void ChunkSequenceScan::scan(const std::string& name) {
    m_form.ScanLogChunk(name);
}

void ChunkSequenceScan::finish() {
    m_form.flushHeldLine();
}

} // namespace trawlmeter::analysis
