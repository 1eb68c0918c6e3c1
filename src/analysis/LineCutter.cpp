#include "analysis/LineCutter.h"

namespace trawlmeter::analysis {

std::vector<std::string_view> cutAtSpaces(std::string_view text) {
    std::vector<std::string_view> pieces;
    forEachPiece(text, [&pieces](std::string_view piece) {
        pieces.push_back(piece);
        return true;
    });
    return pieces;
}

} // namespace trawlmeter::analysis
