#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::crawlers {

// The parts of a regular expression (RE2 syntax) that the crawler patterns are made of, enough
// to read a name or a plain text out of a pattern and to rewrite its plus signs.
enum class PieceKind {
    // One character that stands for itself, escaped or not.
    Char,
    // A character class, [...].
    Class,
    // A parenthesised group, (...).
    Group,
    // ^ or $.
    Anchor,
    // *, +, ? or a repetition {n,m}.
    Quantifier,
    // |.
    Alternation,
    // Anything else: ".", an escape such as \d, or the rest of a pattern that does not parse.
    Special,
};

struct PatternPiece {
    PieceKind kind;
    // The piece as written.
    std::string_view text;
    // The character a Char stands for.
    char value = 0;
};

// The pieces of `pattern` in order; their texts put together give the pattern back.
std::vector<PatternPiece> patternPieces(std::string_view pattern);

// The text a pattern made only of characters that stand for themselves matches; nullopt for any
// other pattern.
std::optional<std::string> literalOf(std::string_view pattern);

// The pattern with every plus sign that it matches literally also matching a space, as the
// pattern is then run on user agents whose plus signs were turned into spaces.
std::string acceptSpaceForPlus(std::string_view pattern);

} // namespace trawlmeter::crawlers
