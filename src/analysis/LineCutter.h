#pragma once

#include <string_view>
#include <vector>

namespace trawlmeter::analysis {

// Hands each piece of `text` cut at every single " " to `onPiece`, in order, until it returns
// false: two spaces give an empty piece, an empty text gives no pieces. The pieces view into
// `text`.
template <typename OnPiece> void forEachPiece(std::string_view text, OnPiece&& onPiece) {
    if (text.empty()) {
        return;
    }
    // Pieces are a few bytes long: a plain loop beats a library search per piece.
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == ' ') {
            if (!onPiece(text.substr(start, at - start))) {
                return;
            }
            start = at + 1;
        }
    }
    onPiece(text.substr(start));
}

// All the pieces of forEachPiece.
std::vector<std::string_view> cutAtSpaces(std::string_view text);

} // namespace trawlmeter::analysis
