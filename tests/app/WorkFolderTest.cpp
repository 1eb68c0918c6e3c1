#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;

struct WorkFolderTest : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};
    const stdfs::path temp = folder / "temp";
};

TEST_F(WorkFolderTest, CreatingEmptiesWhatAnInterruptedRunLeftWithoutFollowingLinks) {
    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    ASSERT_TRUE(stdfs::is_directory(temp));
    stdfs::create_directory(folder / "elsewhere");
    folder.writeFile("elsewhere/keep.txt", "keep");
    folder.writeFile("temp/rezOve.000", "left over");
    folder.writeFile("temp/rezOve.001", "write-protected");
    stdfs::permissions(temp / "rezOve.001", stdfs::perms::owner_read);
    stdfs::create_directories(temp / "sub/deeper");
    stdfs::create_directory_symlink(folder / "elsewhere", temp / "link");

    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    EXPECT_TRUE(stdfs::is_empty(temp));
    EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "keep");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, RefusesALinkOrAFileAsTheWorkFolderAndLeavesItAlone) {
    stdfs::create_directory(folder / "elsewhere");
    folder.writeFile("elsewhere/keep.txt", "keep");
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { stdfs::create_directory_symlink(folder / "elsewhere", temp); }, "是一个符号链接"},
        {[&] { folder.writeFile("temp", "not a folder"); }, "不是文件夹"}};
    for (const auto& [make, reason] : cases) {
        platform.messages.clear();
        make();
        EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Failed) << reason;
        EXPECT_FALSE(form.CmdDeleteTemp_Click());
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].prompt,
                  "工作文件夹不可用：" + temp.string() + "（" + reason + "）");
        EXPECT_TRUE(stdfs::exists(stdfs::symlink_status(temp))) << reason;
        EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "keep");
        stdfs::remove(temp);
    }
}

TEST_F(WorkFolderTest, DeletesTheFolderWithSubfoldersAndAnyFiles) {
    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    folder.writeFile("temp/rezOve.000", "chunk");
    folder.writeFile("temp/notes.txt", "other");
    stdfs::create_directories(temp / "sub" / "deeper");
    folder.writeFile("temp/sub/deeper/inner.txt", "inner");
    EXPECT_FALSE(form.CmdDeleteTemp_Click());
    EXPECT_FALSE(stdfs::exists(temp));
    EXPECT_FALSE(form.CmdDeleteTemp_Click());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, KeepsAWriteProtectedFileAndDeletesTheRest) {
    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    folder.writeFile("temp/rezOve.000", "protected");
    folder.writeFile("temp/rezOve.001", "plain");
    stdfs::permissions(temp / "rezOve.000", stdfs::perms::owner_read);
    EXPECT_EQ(form.CmdDeleteTemp_Click(), std::errc::permission_denied);
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), "protected");
    EXPECT_FALSE(stdfs::exists(temp / "rezOve.001"));
}

} // namespace
} // namespace trawlmeter
