#include "crawlers/CrawlerName.h"

#include <optional>

#include "crawlers/PatternPieces.h"
#include "platform/AsciiCase.h"

namespace trawlmeter::crawlers {
namespace {

constexpr bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters, digits and whatever is not ASCII stay at a name's ends; the rest is trimmed off.
constexpr bool keepsAtEnd(char c) {
    return isLetter(c) || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80;
}

constexpr bool isControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

// The upper-case letter of a class that holds exactly one letter in both cases, as "[wW]".
std::optional<char> casePairLetter(std::string_view classText) {
    if (classText.size() != 4 || !isLetter(classText[1]) || classText[1] == classText[2] ||
        asciiLower(classText[1]) != asciiLower(classText[2])) {
        return std::nullopt;
    }
    return static_cast<char>(asciiLower(classText[1]) - 'a' + 'A');
}

// A quantifier that may match its piece zero times.
bool mayOmit(std::string_view quantifier) {
    return quantifier == "*" || quantifier == "?" || quantifier.starts_with("{0");
}

struct LeadingText {
    std::string text;
    // False when a construct that matches other texts ended it.
    bool whole = true;
};

LeadingText leadingText(std::string_view pattern) {
    LeadingText lead;
    // Where the text of the last piece begins, for a quantifier that may omit it.
    std::size_t lastPiece = 0;
    for (const PatternPiece& piece : patternPieces(pattern)) {
        switch (piece.kind) {
        case PieceKind::Anchor:
            continue;
        case PieceKind::Char:
            lastPiece = lead.text.size();
            lead.text += piece.value;
            continue;
        case PieceKind::Class:
            if (const auto letter = casePairLetter(piece.text)) {
                lastPiece = lead.text.size();
                lead.text += *letter;
                continue;
            }
            break;
        case PieceKind::Group: {
            std::string_view inner = piece.text.substr(1, piece.text.size() - 2);
            if (inner.starts_with("?:")) {
                inner.remove_prefix(2);
            } else if (inner.starts_with('?')) {
                // Flags or a construct RE2 refuses.
                break;
            }
            const LeadingText nested = leadingText(inner);
            lastPiece = lead.text.size();
            lead.text += nested.text;
            if (nested.whole) {
                continue;
            }
            break;
        }
        case PieceKind::Quantifier:
            if (mayOmit(piece.text)) {
                lead.text.resize(lastPiece);
            }
            break;
        case PieceKind::Alternation:
            // The first choice names the crawler.
            return lead;
        case PieceKind::Special:
            break;
        }
        lead.whole = false;
        return lead;
    }
    return lead;
}

std::string longestPlainText(std::string_view pattern) {
    std::string longest;
    std::string run;
    const auto endRun = [&] {
        if (run.size() > longest.size()) {
            longest = run;
        }
        run.clear();
    };
    for (const PatternPiece& piece : patternPieces(pattern)) {
        if (piece.kind == PieceKind::Char) {
            run += piece.value;
            continue;
        }
        if (piece.kind == PieceKind::Quantifier && mayOmit(piece.text) && !run.empty()) {
            run.pop_back();
        }
        endRun();
    }
    endRun();
    return longest;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && !keepsAtEnd(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && !keepsAtEnd(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string asName(std::string_view text) {
    text = trimmed(text);
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (text.size() > scheme.size() &&
            equalsIgnoringAsciiCase(text.substr(0, scheme.size()), scheme)) {
            text.remove_prefix(scheme.size());
        }
    }
    // A product's version or a URL's path follows a "/", a comment a "(".
    std::size_t end = 0;
    while (end < text.size() && text[end] != '/' && text[end] != '(' && !isControl(text[end])) {
        ++end;
    }
    text = trimmed(text.substr(0, end));
    if (text.size() > kMaxNameSize) {
        // At the end of a word where one ends in reach.
        std::size_t size = kMaxNameSize;
        while (size > 0 && keepsAtEnd(text[size]) && keepsAtEnd(text[size - 1])) {
            --size;
        }
        if (size == 0) {
            // One long word: not inside a character of several bytes.
            size = kMaxNameSize;
            while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xc0) == 0x80) {
                --size;
            }
        }
        text = trimmed(text.substr(0, size));
    }
    return std::string(text);
}

} // namespace

std::string crawlerNameOf(std::string_view pattern, std::string_view description) {
    for (const std::string& candidate :
         {leadingText(pattern).text, longestPlainText(pattern), std::string(description)}) {
        if (std::string name = asName(candidate); !name.empty()) {
            return name;
        }
    }
    return "unnamed crawler";
}

} // namespace trawlmeter::crawlers
