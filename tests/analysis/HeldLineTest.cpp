#include "ScanFixture.h"

#include "analysis/ChunkSequenceScan.h"

namespace trawlmeter::testing {
namespace {

using HeldLine = ScanFixture;

TEST_F(HeldLine, JoinsALineSplitAcrossTwoChunksIntoOneItemAndOneRecord) {
    writeChunk("rezOve.000", "#Date: 2010-12-28\r\n2010-12-28 16:20:04 W3SVC20 67.222.136.138 "
                             "GET / - 80 - 123.125.71.97 Baidu");
    writeChunk("rezOve.001", "spider+(+http://www.baidu.com/search/spider.htm) 200 0 0\r\n");
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    EXPECT_EQ(counters(), "0 0 0 0 0 / 1");
    run.scan("rezOve.001");
    run.finish();
    EXPECT_EQ(counters(), "1 0 0 0 0 / 2");
    const auto stored = visits("baidu");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].at("sdate"), "2010-12-28");
    EXPECT_EQ(stored[0].at("UserAgent"), "Baiduspider+(+http://www.baidu.com/search/spider.htm)");
    EXPECT_EQ(stored[0].at("scwin32status"), "0");
}

TEST_F(HeldLine, TakesACrAtTheEndOfAChunkAndAnLfAtTheStartOfTheNextAsOneLineEnd) {
    writeChunk("rezOve.000", "a\r");
    writeChunk("rezOve.001", "\nb\r");
    writeChunk("rezOve.002", "\r\n");
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    run.scan("rezOve.001");
    run.scan("rezOve.002");
    run.finish();
    // "a", "b", then a lone CR's empty line ended by CR LF.
    EXPECT_EQ(form->TxtLineCnt.Text(), "3");
}

TEST_F(HeldLine, HandlesTheLastHeldPartAsALineOfItsOwnAtTheEnd) {
    writeChunk("rezOve.000", "a\nms");
    writeChunk("rezOve.001", "");
    writeChunk("rezOve.002", "n b");
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    run.scan("rezOve.001");
    run.scan("rezOve.002");
    EXPECT_EQ(counters(), "0 0 0 0 0 / 1");
    EXPECT_EQ(platform.yields, 1);
    run.finish();
    EXPECT_EQ(counters(), "0 0 0 0 1 / 2");
    EXPECT_EQ(visits("msn").size(), 1u);
    EXPECT_EQ(form->TxtContent.Text(), "msn b");
    run.finish();
    EXPECT_EQ(form->TxtLineCnt.Text(), "2");
}

TEST_F(HeldLine, DropsTheHeldPartIntoItsOwnLineWhenTheNextChunkIsMissing) {
    writeChunk("rezOve.000", "a\nms");
    writeChunk("rezOve.002", "n b\n");
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    run.scan("rezOve.001");
    EXPECT_EQ(form->TxtLineCnt.Text(), "2");
    run.scan("rezOve.002");
    run.finish();
    EXPECT_EQ(counters(), "0 0 0 0 0 / 3");
}

TEST_F(HeldLine, KeepsTheHeldPartWithinOneMebibyte) {
    constexpr std::size_t kMiB = 1 << 20;
    writeChunk("rezOve.000", std::string(kMiB / 2 * 3, 'x'));
    writeChunk("rezOve.001", "msn" + std::string(kMiB - 3, 'x') + "\nmsn\n");
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    // The first mebibyte is an item as soon as it is whole.
    EXPECT_EQ(form->TxtLineCnt.Text(), "1");
    run.scan("rezOve.001");
    run.finish();
    // 2.5 MiB give three items; "msn" sits inside the second, which starts at 1 MiB.
    EXPECT_EQ(counters(), "0 0 0 0 2 / 4");
    EXPECT_EQ(visits("msn").size(), 2u);
}

TEST_F(HeldLine, AStopInsideAScanDropsWhatTheChunkStillHeld) {
    writeChunk("rezOve.000", "a\nb\nms");
    writeChunk("rezOve.001", "n\n");
    platform.onYield = [&] { form->requestStop(); };
    analysis::ChunkSequenceScan run(*form);
    run.scan("rezOve.000");
    run.finish();
    EXPECT_EQ(counters(), "0 0 0 0 0 / 1");
}

TEST_F(HeldLine, EndsEachChunksLinesWhenScannedAlone) {
    writeChunk("rezOve.000", "a\nms");
    writeChunk("rezOve.001", "n\n");
    form->ScanLogChunk("rezOve.000");
    form->ScanLogChunk("rezOve.001");
    EXPECT_EQ(counters(), "0 0 0 0 0 / 3");
}

} // namespace
} // namespace trawlmeter::testing
