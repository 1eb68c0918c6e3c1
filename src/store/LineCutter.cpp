#include "store/LineCutter.h"

namespace trawlmeter::store {

std::vector<std::string_view> cutAtSpaces(std::string_view text) {
    std::vector<std::string_view> pieces;
    if (text.empty()) {
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        const auto space = text.find(' ', start);
        if (space == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, space - start));
        start = space + 1;
    }
}

} // namespace trawlmeter::store
