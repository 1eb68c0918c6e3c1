#pragma once

#include <string_view>
#include <vector>

namespace trawlmeter::store {

// Hands each piece of `text` cut at every single " " to `onPiece`, in order, until it returns
// false: two spaces give an empty piece, an empty text gives no pieces. The pieces view into
// `text`.
template <typename OnPiece> void forEachPiece(std::string_view text, OnPiece&& onPiece) {
    if (text.empty()) {
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const auto space = text.find(' ', start);
        if (space == std::string_view::npos) {
            onPiece(text.substr(start));
            return;
        }
        if (!onPiece(text.substr(start, space - start))) {
            return;
        }
        start = space + 1;
    }
}

// All the pieces of forEachPiece.
std::vector<std::string_view> cutAtSpaces(std::string_view text);

} // namespace trawlmeter::store
