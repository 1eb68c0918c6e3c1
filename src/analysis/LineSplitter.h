#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trawlmeter::analysis {

// Cuts a byte stream, handed over block by block, into items: one item per line, the line
// end (CR LF, LF or a lone CR) not part of it, leading spaces skipped. A line longer than
// kMaxItem is cut from its first byte on into items of kMaxItem bytes, the last holding the
// rest. The unfinished line at the end of a block is held and continued by the next block,
// so at most kMaxItem bytes are ever held.
class LineSplitter {
public:
    static constexpr std::size_t kMaxItem = std::size_t{1} << 20;

    // Continues the stream with `block`, which must stay valid while items are taken from it.
    void setBlock(std::string_view block);
    // The next item, or nothing when the rest of the block is an unfinished line (now held).
    // The item is valid until the next call.
    std::optional<std::string_view> next();
    // Ends the stream: a held unfinished line becomes the last item. Nothing when the stream
    // ended at a line end. The item is valid until the next call.
    std::optional<std::string_view> finish();
    // Forgets the block and any held line, as when the rest of the stream will never come.
    void reset();

private:
    std::size_t lineEnd();
    void skipLineEnd(std::size_t end);
    std::string_view takeHeld();

    std::string_view m_block;
    std::size_t m_pos = 0;
    // The next LF and CR at or after m_pos, or the block's size; npos when not yet searched.
    // Kept between lines so that a file with only one kind of line end is searched once.
    std::size_t m_nextLf = std::string_view::npos;
    std::size_t m_nextCr = std::string_view::npos;
    // The beginning of a line not yet ended; m_heldCut when it already gave kMaxItem pieces.
    std::string m_held;
    bool m_heldCut = false;
    // The held bytes were handed out as an item and go at the next call.
    bool m_heldTaken = false;
    // The stream so far ended in a CR: an LF right after it belongs to the same line end.
    bool m_crPending = false;
};

} // namespace trawlmeter::analysis
