#include "analysis/FieldLayout.h"
#include "analysis/LineCutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trawlmeter::analysis {
namespace {

// The field each piece holds, by name; "" for a dropped piece.
std::vector<std::string> fieldsOf(const FieldLayout& layout, std::size_t pieces) {
    std::vector<std::string> fields;
    for (std::size_t piece = 0; piece < pieces; ++piece) {
        const auto field = layout.fieldOfPiece(piece);
        fields.emplace_back(field ? kW3cFields[*field] : "");
    }
    return fields;
}

TEST(FieldLayout, StandardLayoutPutsFieldNInPieceNAndDropsTheRest) {
    const auto layout = FieldLayout::standard();
    EXPECT_EQ(layout.pieceCount(), 14u);
    std::vector<std::string> expected(kW3cFields.begin(), kW3cFields.end());
    expected.emplace_back();
    EXPECT_EQ(fieldsOf(layout, 15), expected);
}

TEST(FieldLayout, ALayoutWithoutSiteNameNamesItsFields) {
    const auto layout = FieldLayout::fromFieldNames(
        " date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip"
        " cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes"
        " time-taken");
    EXPECT_EQ(layout.pieceCount(), 17u);
    EXPECT_EQ(fieldsOf(layout, 18),
              (std::vector<std::string>{"date", "time", "s-ip", "cs-method", "cs-uri-stem",
                                        "cs-uri-query", "s-port", "cs-username", "c-ip",
                                        "cs(User-Agent)", "", "sc-status", "sc-substatus",
                                        "sc-win32-status", "", "", "", ""}));
}

TEST(FieldLayout, NamesIgnoreCaseAndEmptyNames) {
    // IIS 6 ends the list with a space; doubled spaces must not shift later fields.
    const auto layout = FieldLayout::fromFieldNames(" DATE  Time   C-IP CS(user-agent) ");
    EXPECT_EQ(fieldsOf(layout, 5),
              (std::vector<std::string>{"date", "time", "c-ip", "cs(User-Agent)", ""}));
    EXPECT_EQ(FieldLayout::fromFieldNames("").pieceCount(), 0u);
    EXPECT_EQ(FieldLayout::fromFieldNames("   ").pieceCount(), 0u);
}

TEST(LineCutter, CutsAtEverySingleSpace) {
    using Pieces = std::vector<std::string_view>;
    EXPECT_EQ(cutAtSpaces(""), Pieces{});
    EXPECT_EQ(cutAtSpaces(" "), (Pieces{"", ""}));
    EXPECT_EQ(cutAtSpaces("a  b"), (Pieces{"a", "", "b"}));
    EXPECT_EQ(cutAtSpaces(" a\tb "), (Pieces{"", "a\tb", ""}));
}

} // namespace
} // namespace trawlmeter::analysis
