#include "analysis/LineSplitter.h"

#include <algorithm>
#include <cstring>

namespace trawlmeter::analysis {
namespace {

std::string_view skipLeadingSpaces(std::string_view item) {
    const auto first = item.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : item.substr(first);
}

std::size_t findByte(std::string_view block, std::size_t from, char byte) {
    const void* found = std::memchr(block.data() + from, byte, block.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - block.data())
                 : block.size();
}

} // namespace

void LineSplitter::setBlock(std::string_view block) {
    m_block = block;
    m_pos = 0;
    m_nextLf = std::string_view::npos;
    m_nextCr = std::string_view::npos;
}

std::size_t LineSplitter::lineEnd() {
    if (m_nextLf == std::string_view::npos || m_nextLf < m_pos) {
        m_nextLf = findByte(m_block, m_pos, '\n');
    }
    if (m_nextCr == std::string_view::npos || m_nextCr < m_pos) {
        m_nextCr = findByte(m_block, m_pos, '\r');
    }
    return std::min(m_nextLf, m_nextCr);
}

void LineSplitter::skipLineEnd(std::size_t end) {
    m_pos = end + 1;
    if (m_block[end] == '\r') {
        if (m_pos == m_block.size()) {
            m_crPending = true;
        } else if (m_block[m_pos] == '\n') {
            ++m_pos;
        }
    }
}

std::string_view LineSplitter::takeHeld() {
    m_heldTaken = true;
    return skipLeadingSpaces(m_held);
}

std::optional<std::string_view> LineSplitter::next() {
    if (m_heldTaken) {
        m_held.clear();
        m_heldTaken = false;
    }
    if (m_crPending && m_pos < m_block.size()) {
        m_crPending = false;
        if (m_block[m_pos] == '\n') {
            ++m_pos;
        }
    }
    while (m_pos < m_block.size()) {
        const std::size_t end = lineEnd();
        const std::size_t available = end - m_pos;
        const bool lineEnds = end < m_block.size();
        // The common case: a whole line inside the block, handed out without a copy.
        if (lineEnds && m_held.empty() && !m_heldCut && available <= kMaxItem) {
            const auto item = m_block.substr(m_pos, available);
            skipLineEnd(end);
            return skipLeadingSpaces(item);
        }
        if (m_held.empty() && available >= kMaxItem) {
            const auto piece = m_block.substr(m_pos, kMaxItem);
            m_pos += kMaxItem;
            m_heldCut = true;
            return skipLeadingSpaces(piece);
        }
        const std::size_t take = std::min(available, kMaxItem - m_held.size());
        m_held.append(m_block.substr(m_pos, take));
        m_pos += take;
        if (m_held.size() == kMaxItem) {
            m_heldCut = true;
            return takeHeld();
        }
        if (!lineEnds) {
            return std::nullopt;
        }
        skipLineEnd(end);
        // A line whose length is a multiple of kMaxItem has given all its items already.
        const bool cutToTheEnd = m_held.empty() && m_heldCut;
        m_heldCut = false;
        if (!cutToTheEnd) {
            return takeHeld();
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> LineSplitter::finish() {
    if (m_heldTaken) {
        m_held.clear();
        m_heldTaken = false;
    }
    m_block = {};
    m_pos = 0;
    m_crPending = false;
    m_heldCut = false;
    if (m_held.empty()) {
        return std::nullopt;
    }
    return takeHeld();
}

void LineSplitter::reset() {
    (void)finish();
    m_held.clear();
    m_heldTaken = false;
}

} // namespace trawlmeter::analysis
