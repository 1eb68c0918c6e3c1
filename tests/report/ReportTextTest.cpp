#include "report/HtmlText.h"
#include "report/Utf8.h"

#include <gtest/gtest.h>

namespace trawlmeter::report {
namespace {

constexpr std::string_view kBad = "\xEF\xBF\xBD";

std::string bad(int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += kBad;
    }
    return text;
}

TEST(ReportText, InvalidUtf8BecomesOneReplacementPerMaximalPart) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "abc"},
        {"\xC3\xA9\xE9\xA1\xB5\xF0\x9F\x98\x80", "\xC3\xA9\xE9\xA1\xB5\xF0\x9F\x98\x80"},
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"}, // U+10FFFF, the last code point
        {"\xC0\xAF", bad(2)},                     // overlong '/'
        {"\xE0\x80\xAF", bad(3)},                 // overlong '/'
        {"\xED\xA0\x80", bad(3)},                 // a surrogate
        {"\xF4\x90\x80\x80", bad(4)},             // past U+10FFFF
        {"\xE9\xA1", bad(1)},                     // cut at the end
        {"\xE9\xA1"
         "a\xA1",
         bad(1) + "a" + bad(1)},
        {"\xFF\xFE", bad(2)},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(validUtf8(input), expected) << ::testing::PrintToString(input);
    }
}

TEST(ReportText, ShortTextIsCutAtWholeCharactersWithAnEllipsis) {
    EXPECT_EQ(shortened("页页页", 3), "页页页");
    EXPECT_EQ(shortened("页页页页", 3), "页页…");
    EXPECT_EQ(shortened("abcd", 4), "abcd");
    EXPECT_EQ(shortened("abcde", 4), "abc…");
    EXPECT_EQ(shortened("\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 1), "…");
    EXPECT_EQ(htmlShort("<<<<<", 3), "&lt;&lt;…") << "cut before escaping";
}

TEST(ReportText, MarkupAndControlCharactersAreEscapedForEveryPlace) {
    EXPECT_EQ(htmlText("<a href='x' title=\"y\">&amp;</a>"),
              "&lt;a href=&#39;x&#39; title=&quot;y&quot;&gt;&amp;amp;&lt;/a&gt;");
    EXPECT_EQ(htmlText(std::string("a\0b\x1b\x7f\t\n", 7)), "a" + bad(1) + "b" + bad(2) + "\t\n");
    EXPECT_EQ(htmlText("\xFF<"), bad(1) + "&lt;");
}

TEST(ReportText, NumbersAreGroupedByThousands) {
    const std::pair<long long, std::string> cases[] = {{0, "0"},
                                                       {999, "999"},
                                                       {1000, "1,000"},
                                                       {100000, "100,000"},
                                                       {1234567, "1,234,567"},
                                                       {-1234, "-1,234"}};
    for (const auto& [number, expected] : cases) {
        EXPECT_EQ(groupThousands(number), expected);
    }
}

} // namespace
} // namespace trawlmeter::report
