#include "crawlers/PatternPieces.h"

#include <gtest/gtest.h>

namespace trawlmeter::crawlers {
namespace {

TEST(PatternPiecesTest, APlainTextIsReadOnlyFromPiecesThatStandForThemselves) {
    EXPECT_EQ(literalOf("Googlebot\\/"), "Googlebot/");
    EXPECT_EQ(literalOf("Unshorten\\.It\\!"), "Unshorten.It!");
    EXPECT_EQ(literalOf("a{b"), "a{b");
    EXPECT_FALSE(literalOf("^curl"));
    EXPECT_FALSE(literalOf("BlogTraffic\\/\\d"));
    EXPECT_FALSE(literalOf("Chirp|gotosocial"));
    EXPECT_FALSE(literalOf("repeat{3,5}"));
    EXPECT_FALSE(literalOf("S[eE]mrush"));
    EXPECT_FALSE(literalOf("Bot\\"));
}

TEST(PatternPiecesTest, EveryLiteralPlusAlsoAcceptsASpace) {
    EXPECT_EQ(acceptSpaceForPlus("google\\.com\\/\\+\\/web"), "google\\.com\\/[+ ]\\/web");
    EXPECT_EQ(acceptSpaceForPlus("v[+\\-]1 [^+]"), "v[+\\- ]1 [^+ ]");
    EXPECT_EQ(acceptSpaceForPlus("(C\\+\\+|Go)bot"), "(C[+ ][+ ]|Go)bot");
    // Quantifiers and escapes of other characters stay as they are.
    EXPECT_EQ(acceptSpaceForPlus("\\d+\\.\\d+ Feed[\\s\\S]*x"), "\\d+\\.\\d+ Feed[\\s\\S]*x");
}

} // namespace
} // namespace trawlmeter::crawlers
