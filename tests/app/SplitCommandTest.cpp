#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

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

TEST_F(SplitCommandTest, RejectsAPathThatNamesNoFile) {
    stdfs::create_directory(folder / "a-folder.log");
    for (const std::string& path :
         {std::string(), (folder / "a-folder.log").string(), (folder / "gone.log").string()}) {
        testing::FakePlatform fresh;
        MainForm other(fresh.ports(folder.str()));
        other.TxtrezOveFile.setText(path);
        other.Label2.setCaption("before");
        other.TxtLstiisFileCnt.setText("7");
        other.LstiisFile.AddItem("rezOve.000");
        other.CmdFileSplit_Click();

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

TEST_F(SplitCommandTest, SplitsASmallLogIntoOneListedChunk) {
    chooseLog("small.log", 500);
    std::string captionDuringYield;
    platform.onYield = [&] {
        if (captionDuringYield.empty()) {
            captionDuringYield = form.Label2.Caption();
        }
    };
    form.CmdFileSplit_Click();

    EXPECT_EQ(captionDuringYield, "正在分割...");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "1");
    EXPECT_EQ(form.Label2.Caption(), "分割完成，共分成 1 个临时日志文件");
    EXPECT_EQ(form.LstiisFile.items(), Names{"rezOve.000"});
    EXPECT_EQ(form.LstiisFile.Text(), "rezOve.000");
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), std::string(500, 'l'));
}

TEST_F(SplitCommandTest, ListsAndCountsFilesAlreadyInTheWorkFolder) {
    stdfs::create_directories(folder / "temp" / "sub");
    folder.writeFile("temp/rezOve.000", std::string(9999, 'o'));
    folder.writeFile("temp/rezOve.004", "old");
    folder.writeFile("temp/notes.txt", "other");
    chooseLog("small.log", 500);
    form.CmdFileSplit_Click();

    EXPECT_EQ(form.LstiisFile.items(), (Names{"rezOve.000", "rezOve.004", "notes.txt"}));
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "3");
    EXPECT_EQ(form.Label2.Caption(), "分割完成，共分成 3 个临时日志文件");
    EXPECT_EQ(stdfs::file_size(folder / "temp" / "rezOve.000"), 500u);
}

TEST_F(SplitCommandTest, CountsNoChunkWhenTheWorkFolderCannotBeMade) {
    folder.writeFile("temp", "a plain file");
    chooseLog("small.log", 500);
    form.LstiisFile.AddItem("stale");
    form.CmdFileSplit_Click();

    EXPECT_EQ(form.LstiisFile.ListCount(), 0);
    EXPECT_EQ(form.LstiisFile.ListIndex(), -1);
    EXPECT_EQ(form.TxtLstiisFileCnt.Text(), "0");
    EXPECT_EQ(form.Label2.Caption(), "分割完成，共分成 0 个临时日志文件");
    EXPECT_EQ(folder.readFile("temp"), "a plain file");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SplitCommandTest, SplitsTheLogChosenWhileItYieldsBeforeSplitting) {
    chooseLog("first.log", 500);
    folder.writeFile("second.log", "second");
    platform.onYield = [&] { form.TxtrezOveFile.setText((folder / "second.log").string()); };
    form.CmdFileSplit_Click();
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
