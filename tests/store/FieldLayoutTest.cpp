#include "store/FieldLayout.h"
#include "store/LineCutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trawlmeter::store {
namespace {

std::vector<std::string> columnsOf(const FieldLayout& layout, std::size_t pieces) {
    std::vector<std::string> columns;
    for (std::size_t piece = 0; piece < pieces; ++piece) {
        columns.emplace_back(layout.columnForPiece(piece));
    }
    return columns;
}

TEST(FieldLayout, StandardLayoutPutsPieceNInColumnNAndDropsTheRest) {
    const auto layout = FieldLayout::standard();
    EXPECT_EQ(layout.pieceCount(), 14u);
    EXPECT_EQ(
        columnsOf(layout, 15),
        (std::vector<std::string>{"sdate", "stime", "sitename", "sip", "csmethod", "csuristem",
                                  "csuriquery", "sport", "csusername", "cip", "UserAgent",
                                  "scstatus", "scsubstatus", "scwin32status", ""}));
}

TEST(FieldLayout, ALayoutWithoutSiteNameMapsFieldsByName) {
    const auto layout = FieldLayout::fromFieldNames(
        " date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip"
        " cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes"
        " time-taken");
    EXPECT_EQ(layout.pieceCount(), 17u);
    EXPECT_EQ(
        columnsOf(layout, 18),
        (std::vector<std::string>{"sdate", "stime", "sip", "csmethod", "csuristem", "csuriquery",
                                  "sport", "csusername", "cip", "UserAgent", "", "scstatus",
                                  "scsubstatus", "scwin32status", "", "", "", ""}));
}

TEST(FieldLayout, NamesIgnoreCaseAndEmptyNames) {
    // IIS 6 ends the list with a space; doubled spaces must not shift later fields.
    const auto layout = FieldLayout::fromFieldNames(" DATE  Time   C-IP CS(user-agent) ");
    EXPECT_EQ(columnsOf(layout, 5),
              (std::vector<std::string>{"sdate", "stime", "cip", "UserAgent", ""}));
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
} // namespace trawlmeter::store
