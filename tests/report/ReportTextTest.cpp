#include "report/HtmlText.h"
#include "report/Utf8.h"

#include <gtest/gtest.h>

namespace trawlmeter::report {
namespace {

std::string bad(int times) {
    std::string text;
    while (times-- > 0) {
        text += "\xEF\xBF\xBD";
    }
    return text;
}

TEST(ReportText, InvalidUtf8BecomesOneReplacementPerMaximalSubsequence) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\xC3\xA9\xE9\xA1\xB5\xF0\x9F\x98\x80", "a\xC3\xA9\xE9\xA1\xB5\xF0\x9F\x98\x80"},
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"}, // U+10FFFF, the last code point
        {"\xC0\xAF", bad(2)},                     // overlong '/'
        {"\xE0\x80\xAF", bad(3)},                 // overlong '/'
        {"\xED\xA0\x80", bad(3)},                 // a surrogate
        {"\xF4\x90\x80\x80", bad(4)},             // past U+10FFFF
        {"\xE9\xA1", bad(1)},                     // cut at the end
        {"\xE9\xA1|\xA1\xFF", bad(1) + "|" + bad(2)},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(validUtf8(input), expected) << ::testing::PrintToString(input);
    }
}

TEST(ReportText, BidirectionalControlsAreNeutralisedSoNoTextReadsReversed) {
    // U+061C, U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069, each in a URL.
    for (const char* control : {"\xD8\x9C", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xE2\x80\xAA",
                                "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x81\xA9"}) {
        const std::string url = std::string("/a") + control + "gpj.exe";
        EXPECT_EQ(htmlText(url), "/a" + bad(1) + "gpj.exe") << ::testing::PrintToString(url);
        EXPECT_EQ(neutralText(url), "/a" + bad(1) + "gpj.exe");
    }
    // Their neighbours and right-to-left letters themselves stay.
    for (const char* kept : {"\xE2\x80\x8D", "\xE2\x80\xAF", "\xE2\x81\xA5", "\xE2\x81\xAA",
                             "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A"}) {
        EXPECT_EQ(neutralText(kept), kept) << ::testing::PrintToString(kept);
    }
}

TEST(ReportText, LongTextIsCutAtWholeCharactersWithAnEllipsis) {
    EXPECT_EQ(shortened("页页页", 3), "页页页");
    EXPECT_EQ(shortened("页页页页", 3), "页页…");
    EXPECT_EQ(shortened("abcde", 4), "abc…");
    EXPECT_EQ(shortened("\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 1), "…");
    EXPECT_EQ(htmlShort("<<<<<", 3), "&lt;&lt;…") << "cut before escaping";
}

TEST(ReportText, MarkupAndControlCharactersAreEscapedAndNumbersGrouped) {
    EXPECT_EQ(htmlText("<a href='x' title=\"y\">&amp;</a>"),
              "&lt;a href=&#39;x&#39; title=&quot;y&quot;&gt;&amp;amp;&lt;/a&gt;");
    EXPECT_EQ(htmlText(std::string("a\0b\x1b\x7f\t\n\xFF", 8)),
              "a" + bad(1) + "b" + bad(2) + "\t\n" + bad(1));
    for (const auto& [number, grouped] : {std::pair<long long, std::string>{999, "999"},
                                          {1000, "1,000"},
                                          {100000, "100,000"},
                                          {1234567, "1,234,567"},
                                          {-1234, "-1,234"}}) {
        EXPECT_EQ(groupThousands(number), grouped);
    }
}

} // namespace
} // namespace trawlmeter::report
