#include "ScanFixture.h"

namespace trawlmeter::testing {
namespace {

using CounterRaise = ScanFixture;

TEST_F(CounterRaise, AddsOneToTheTextTheBoxShows) {
    // Cases: the text before a Baidu line, the text after it.
    const std::vector<std::pair<std::string, std::string>> cases{
        {"41", "42"},       {"999999", "1000000"},
        {" 7 ", "8"},       {"+7", "8"},
        {"-1", "0"},        {"2.5", "3.5"},
        {".5", "1.5"},      {"1e3", "1001"},
        {"", ""},           {"abc", "abc"},
        {"12abc", "12abc"}, {"inf", "inf"},
        {"1e999", "1e999"}, {"999999999999999", "1E+15"},
        {"1E+15", "1E+15"}, {"1.23456789012346E+15", "1.23456789012346E+15"}};
    writeChunk("rezOve.000", "baiduspider\n");
    long lines = 0;
    for (const auto& [before, after] : cases) {
        form->TxtBaiduCnt.setText(before);
        EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
        EXPECT_EQ(form->TxtBaiduCnt.Text(), after) << "from \"" << before << "\"";
        // A box that fails its raise does not keep the item from being stored and counted.
        EXPECT_EQ(form->TxtLineCnt.Text(), std::to_string(++lines));
        EXPECT_EQ(visits("baidu").size(), static_cast<std::size_t>(lines));
    }
}

TEST_F(CounterRaise, ReachesOneE15AndStaysThere) {
    writeChunk("rezOve.000", "msn\nmsn\nmsn\n");
    // Counted on as a number for two raises, then as text.
    form->TxtMsnCnt.setText("999999999999996");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->TxtMsnCnt.Text(), "999999999999999");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->TxtMsnCnt.Text(), "1E+15");
}

TEST_F(CounterRaise, CountsOnFromATextChangedInsideAYield) {
    writeChunk("rezOve.000", "a\nb\nc\nd\n");
    platform.onYield = [&] {
        if (platform.yields == 2) {
            form->TxtLineCnt.setText("100");
        }
        if (platform.yields == 3) {
            form->TxtLineCnt.setText("");
        }
    };
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->TxtLineCnt.Text(), "");
    form->TxtLineCnt.setText("2");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->TxtLineCnt.Text(), "6");
}

} // namespace
} // namespace trawlmeter::testing
