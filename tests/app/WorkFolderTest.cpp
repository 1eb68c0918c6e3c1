#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;

struct WorkFolderTest : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};
    const stdfs::path temp = folder / "temp";
};

TEST_F(WorkFolderTest, CreatingAgainKeepsWhatTheFolderHolds) {
    form.CmdCreateTemp_Click();
    ASSERT_TRUE(stdfs::is_directory(temp));
    folder.writeFile("temp/rezOve.000", "left over");
    form.CmdCreateTemp_Click();
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), "left over");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, LeavesAPlainFileNamedTempAlone) {
    folder.writeFile("temp", "not a folder");
    form.CmdCreateTemp_Click();
    form.CmdDeleteTemp_Click();
    EXPECT_TRUE(stdfs::is_regular_file(temp));
    EXPECT_EQ(folder.readFile("temp"), "not a folder");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, DeletesTheFolderWithSubfoldersAndAnyFiles) {
    form.CmdCreateTemp_Click();
    folder.writeFile("temp/rezOve.000", "chunk");
    folder.writeFile("temp/notes.txt", "other");
    stdfs::create_directories(temp / "sub" / "deeper");
    folder.writeFile("temp/sub/deeper/inner.txt", "inner");
    form.CmdDeleteTemp_Click();
    EXPECT_FALSE(stdfs::exists(temp));
    form.CmdDeleteTemp_Click();
    EXPECT_FALSE(stdfs::exists(temp));
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, KeepsAWriteProtectedFileAndDeletesTheRest) {
    form.CmdCreateTemp_Click();
    folder.writeFile("temp/rezOve.000", "protected");
    folder.writeFile("temp/rezOve.001", "plain");
    stdfs::permissions(temp / "rezOve.000", stdfs::perms::owner_read);
    form.CmdDeleteTemp_Click();
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), "protected");
    EXPECT_FALSE(stdfs::exists(temp / "rezOve.001"));
}

TEST_F(WorkFolderTest, DeletesALinkedWorkFolderNotWhatItPointsTo) {
    stdfs::create_directory(folder / "elsewhere");
    folder.writeFile("elsewhere/keep.txt", "keep");
    stdfs::create_directory_symlink(folder / "elsewhere", temp);
    form.CmdDeleteTemp_Click();
    EXPECT_FALSE(stdfs::exists(stdfs::symlink_status(temp)));
    EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "keep");
}

} // namespace
} // namespace trawlmeter
