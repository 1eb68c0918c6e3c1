#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;

using Names = std::vector<std::string>;

struct SplitCommandTest : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};

    void chooseLog(std::string_view name, std::size_t bytes) {
        folder.writeFile(name, std::string(bytes, 'l'));
        form.TxtrezOveFile.setText((folder / name).string());
    }
};

#ifndef _WIN32 // symbolic links: Windows makes them only with a right ordinary accounts lack
TEST_F(SplitCommandTest, RejectsAPathThatNamesNothing) {
    stdfs::create_directory_symlink(folder / "nowhere", folder / "dangling.log");
    for (const std::string& path :
         {std::string(), (folder / "dangling.log").string(), (folder / "gone.log").string()}) {
        testing::FakePlatform fresh;
        MainForm other(fresh.ports(folder.str()));
        other.TxtrezOveFile.setText(path);
        other.Label2.setCaption("before");
        other.TxtLstiisFileCnt.setText("7");
        other.LstiisFile.AddItem("rezOve.000");
        EXPECT_EQ(other.CmdFileSplit_Click(), RunStep::LogMissing);

        ASSERT_EQ(fresh.messages.size(), 1u) << path;
        EXPECT_EQ(fresh.messages[0].prompt, "所选择的日志文件不存在，请重新选择");
        EXPECT_EQ(fresh.messages[0].style, 0);
        EXPECT_EQ(fresh.messages[0].title, "提示");
        EXPECT_EQ(other.Label2.Caption(), "before");
        EXPECT_EQ(other.TxtLstiisFileCnt.Text(), "7");
        EXPECT_EQ(other.LstiisFile.items(), Names{"rezOve.000"});
        EXPECT_EQ(fresh.yields, 0);
        EXPECT_FALSE(stdfs::exists(folder / "temp"));
    }
}
#endif

TEST_F(SplitCommandTest, SaysWhyALogThatExistsCannotBeRead) {
    stdfs::create_directory(folder / "a-folder.log");
    std::vector<std::pair<const char*, std::error_code>> cases = {
        {"a-folder.log", std::make_error_code(std::errc::is_a_directory)}};
#ifndef _WIN32
    // A pipe must be refused, not opened: an open would wait for a writer that never comes.
    // Windows has no named pipe in a folder.
    for (const char* pipe : {"a-fifo.log", "a-fifo.gz", "a-fifo.zip"}) {
        ASSERT_EQ(mkfifo((folder / pipe).c_str(), 0600), 0);
        cases.emplace_back(pipe, Problem::NotARegularFile);
    }
#endif
    for (const auto& [name, code] : cases) {
        platform.messages.clear();
        form.TxtrezOveFile.setText((folder / name).string());
        EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::LogUnreadable) << name;
        ASSERT_EQ(platform.messages.size(), 1u);
        ASSERT_TRUE(form.shownFailure());
        EXPECT_EQ(form.shownFailure()->code, code) << name;
        EXPECT_EQ(form.shownFailure()->subject, (folder / name).string());
        EXPECT_EQ(platform.messages[0].prompt, messages::logUnreadable(*form.shownFailure()));
        EXPECT_TRUE(stdfs::is_empty(folder / "temp"));
    }
}

TEST_F(SplitCommandTest, SplitsASmallLogIntoOneListedChunk) {
    chooseLog("small.log", 500);
    std::string captionDuringYield;
    platform.onYield = [&] {
        if (captionDuringYield.empty()) {
            captionDuringYield = form.Label2.Caption();
        }
    };
    EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::Done);

    EXPECT_EQ(captionDuringYield, "正在分割...");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "1");
    EXPECT_EQ(form.Label2.Caption(), "分割完成，共分成 1 个临时日志文件");
    EXPECT_EQ(form.LstiisFile.items(), Names{"rezOve.000"});
    EXPECT_EQ(form.LstiisFile.Text(), "rezOve.000");
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), std::string(500, 'l'));
}

TEST_F(SplitCommandTest, ListsOnlyItsOwnChunksAfterRemovingWhatAnInterruptedRunLeft) {
    stdfs::create_directories(folder / "temp" / "sub");
    folder.writeFile("temp/rezOve.000", std::string(9999, 'o'));
    folder.writeFile("temp/rezOve.004", "old");
    folder.writeFile("temp/notes.txt", "other");
    chooseLog("small.log", 500);
    EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::Done);

    EXPECT_EQ(form.LstiisFile.items(), Names{"rezOve.000"});
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "1");
    EXPECT_EQ(form.Label2.Caption(), "分割完成，共分成 1 个临时日志文件");
    EXPECT_EQ(stdfs::file_size(folder / "temp" / "rezOve.000"), 500u);
}

TEST_F(SplitCommandTest, StopsWithAMessageWhenTheWorkFolderIsAFile) {
    folder.writeFile("temp", "a plain file");
    chooseLog("small.log", 500);
    form.LstiisFile.AddItem("stale");
    EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::Failed);

    EXPECT_EQ(form.LstiisFile.items(), Names{"stale"});
    EXPECT_EQ(folder.readFile("temp"), "a plain file");
    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, Problem::NotAFolder);
    EXPECT_EQ(form.shownFailure()->subject, (folder / "temp").string());
    EXPECT_EQ(platform.messages[0].prompt, messages::workFolderUnusable(*form.shownFailure()));
}

TEST_F(SplitCommandTest, ADiskThatFillsWhileCuttingLeavesNoChunkAndNamesTheFolder) {
    chooseLog("big.log", 5'000'000);
    platform.fileWrites.failFrom(2, std::errc::no_space_on_device);
    EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::Failed);

    EXPECT_TRUE(stdfs::is_empty(folder / "temp"));
    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, std::errc::no_space_on_device);
    EXPECT_EQ(form.shownFailure()->subject, split::chunkPath(folder.str(), "rezOve.001"));
    EXPECT_EQ(platform.messages[0].prompt,
              messages::splitFailed((folder / "temp").string(), *form.shownFailure()));
}

TEST_F(SplitCommandTest, SplitsTheLogChosenWhileItYieldsBeforeSplitting) {
    chooseLog("first.log", 500);
    folder.writeFile("second.log", "second");
    platform.onYield = [&] { form.TxtrezOveFile.setText((folder / "second.log").string()); };
    EXPECT_EQ(form.CmdFileSplit_Click(), RunStep::Done);
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), "second");
}

TEST_F(SplitCommandTest, ListsChunksInSplitOrderBeforeOtherFiles) {
    stdfs::create_directories(folder / "temp" / "rezOve.001");
    for (const char* name :
         {"zz.txt", "rezOve.1000", "rezOve.999", "rezOve.12", "Notes", "rezOve.002", "rezOve.x01",
          "rezOve.123456789012345678901234", "rezOve.0003"}) {
        folder.writeFile(std::string("temp/") + name, "");
    }
    form.Label2.setCaption("status");
    form.TxtLstiisFileCnt.setText("5");
    form.CmdGetiisFile_Click();

    EXPECT_EQ(form.LstiisFile.items(), (Names{"rezOve.002", "rezOve.0003", "rezOve.999",
                                              "rezOve.1000", "rezOve.123456789012345678901234",
                                              "Notes", "rezOve.12", "rezOve.x01", "zz.txt"}));
    EXPECT_EQ(form.LstiisFile.ListIndex(), 0);
    EXPECT_EQ(form.Label2.Caption(), "status");
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "5");
}

} // namespace
} // namespace trawlmeter
