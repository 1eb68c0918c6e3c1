#include "crawlers/PatternPieces.h"

namespace trawlmeter::crawlers {
namespace {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// An escaped letter or digit is a class or an assertion (\d, \b), any other escaped
// character stands for itself.
constexpr bool escapesToItself(char c) {
    return !isDigit(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z');
}

// The end (one past the "]") of the class opening at `at`, or npos when it does not close.
std::size_t classEnd(std::string_view pattern, std::size_t at) {
    std::size_t i = at + 1;
    if (i < pattern.size() && pattern[i] == '^') {
        ++i;
    }
    // A "]" first in the class is one of its characters.
    if (i < pattern.size() && pattern[i] == ']') {
        ++i;
    }
    while (i < pattern.size()) {
        if (pattern[i] == '\\') {
            i += 2;
        } else if (pattern.substr(i, 2) == "[:") {
            const std::size_t close = pattern.find(":]", i + 2);
            i = close == std::string_view::npos ? pattern.size() : close + 2;
        } else if (pattern[i] == ']') {
            return i + 1;
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

// The end (one past the ")") of the group opening at `at`, or npos when it does not close.
std::size_t groupEnd(std::string_view pattern, std::size_t at) {
    int depth = 0;
    std::size_t i = at;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\\') {
            i += 2;
            continue;
        }
        if (c == '[') {
            i = classEnd(pattern, i);
            if (i == std::string_view::npos) {
                return i;
            }
            continue;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1;
        }
        ++i;
    }
    return std::string_view::npos;
}

// The length of a repetition {n}, {n,} or {n,m} at `at`, or 0 when the "{" stands for itself.
std::size_t repetitionLength(std::string_view pattern, std::size_t at) {
    std::size_t i = at + 1;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < pattern.size() && isDigit(pattern[i])) {
            ++i;
        }
        return i > from;
    };
    if (!digits()) {
        return 0;
    }
    if (i < pattern.size() && pattern[i] == ',') {
        ++i;
        (void)digits();
    }
    return i < pattern.size() && pattern[i] == '}' ? i + 1 - at : 0;
}

} // namespace

std::vector<PatternPiece> patternPieces(std::string_view pattern) {
    std::vector<PatternPiece> pieces;
    std::size_t i = 0;
    const auto add = [&](PieceKind kind, std::size_t length, char value = 0) {
        pieces.push_back({kind, pattern.substr(i, length), value});
        i += length;
    };
    const auto rest = [&] { return pattern.size() - i; };
    while (i < pattern.size()) {
        const char c = pattern[i];
        switch (c) {
        case '\\':
            if (rest() >= 2 && escapesToItself(pattern[i + 1])) {
                add(PieceKind::Char, 2, pattern[i + 1]);
            } else {
                add(PieceKind::Special, rest() >= 2 ? 2 : 1);
            }
            break;
        case '[': {
            const std::size_t end = classEnd(pattern, i);
            add(end == std::string_view::npos ? PieceKind::Special : PieceKind::Class,
                end == std::string_view::npos ? rest() : end - i);
            break;
        }
        case '(': {
            const std::size_t end = groupEnd(pattern, i);
            add(end == std::string_view::npos ? PieceKind::Special : PieceKind::Group,
                end == std::string_view::npos ? rest() : end - i);
            break;
        }
        case '^':
        case '$':
            add(PieceKind::Anchor, 1);
            break;
        case '*':
        case '+':
        case '?':
            add(PieceKind::Quantifier, 1);
            break;
        case '{':
            if (const std::size_t length = repetitionLength(pattern, i)) {
                add(PieceKind::Quantifier, length);
            } else {
                add(PieceKind::Char, 1, c);
            }
            break;
        case '|':
            add(PieceKind::Alternation, 1);
            break;
        case '.':
        case ')':
            add(PieceKind::Special, 1);
            break;
        default:
            add(PieceKind::Char, 1, c);
            break;
        }
    }
    return pieces;
}

std::optional<std::string> literalOf(std::string_view pattern) {
    std::string text;
    for (const PatternPiece& piece : patternPieces(pattern)) {
        if (piece.kind != PieceKind::Char) {
            return std::nullopt;
        }
        text += piece.value;
    }
    return text;
}

std::string acceptSpaceForPlus(std::string_view pattern) {
    std::string rewritten;
    rewritten.reserve(pattern.size());
    for (const PatternPiece& piece : patternPieces(pattern)) {
        if (piece.kind == PieceKind::Char && piece.value == '+') {
            rewritten += "[+ ]";
        } else if (piece.kind == PieceKind::Class &&
                   piece.text.find('+') != std::string_view::npos) {
            // Before the closing "]": a space in a class stands for itself.
            rewritten += piece.text.substr(0, piece.text.size() - 1);
            rewritten += " ]";
        } else if (piece.kind == PieceKind::Group) {
            // Its inner pieces may hold a plus of their own.
            rewritten += '(';
            rewritten += acceptSpaceForPlus(piece.text.substr(1, piece.text.size() - 2));
            rewritten += ')';
        } else {
            rewritten += piece.text;
        }
    }
    return rewritten;
}

} // namespace trawlmeter::crawlers
