#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
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

#ifndef _WIN32 // symbolic links: Windows makes them only with a right ordinary accounts lack
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
#endif

#ifndef _WIN32 // symbolic links: Windows makes them only with a right ordinary accounts lack
TEST_F(WorkFolderTest, RefusesALinkOrAFileAsTheWorkFolderAndLeavesItAlone) {
    stdfs::create_directory(folder / "elsewhere");
    folder.writeFile("elsewhere/keep.txt", "keep");
    const std::pair<std::function<void()>, Problem> cases[] = {
        {[&] { stdfs::create_directory_symlink(folder / "elsewhere", temp); },
         Problem::IsASymbolicLink},
        {[&] { folder.writeFile("temp", "not a folder"); }, Problem::NotAFolder}};
    for (const auto& [make, problem] : cases) {
        platform.messages.clear();
        make();
        EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Failed);
        EXPECT_TRUE(form.CmdDeleteTemp_Click()) << "nothing of the run's to delete";
        ASSERT_EQ(platform.messages.size(), 1u);
        ASSERT_TRUE(form.shownFailure());
        EXPECT_EQ(form.shownFailure()->code, problem);
        EXPECT_EQ(form.shownFailure()->subject, temp.string());
        EXPECT_EQ(platform.messages[0].prompt, messages::workFolderUnusable(*form.shownFailure()));
        EXPECT_TRUE(stdfs::exists(stdfs::symlink_status(temp)));
        EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "keep");
        stdfs::remove(temp);
    }
}
#endif

TEST_F(WorkFolderTest, DeletesTheFolderWithSubfoldersAndAnyFiles) {
    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    folder.writeFile("temp/rezOve.000", "chunk");
    folder.writeFile("temp/notes.txt", "other");
    stdfs::create_directories(temp / "sub" / "deeper");
    folder.writeFile("temp/sub/deeper/inner.txt", "inner");
    EXPECT_TRUE(form.CmdDeleteTemp_Click());
    EXPECT_FALSE(stdfs::exists(temp));
    EXPECT_TRUE(form.CmdDeleteTemp_Click());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(WorkFolderTest, KeepsAWriteProtectedFileAndDeletesTheRest) {
    EXPECT_EQ(form.CmdCreateTemp_Click(), RunStep::Done);
    folder.writeFile("temp/rezOve.000", "protected");
    folder.writeFile("temp/rezOve.001", "plain");
    stdfs::permissions(temp / "rezOve.000", stdfs::perms::owner_read);
    const auto kept = form.CmdDeleteTemp_Click();
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.error().code, std::errc::permission_denied);
    EXPECT_EQ(kept.error().subject, (temp / "rezOve.000").string());
    EXPECT_EQ(folder.readFile("temp/rezOve.000"), "protected");
    EXPECT_FALSE(stdfs::exists(temp / "rezOve.001"));
}

} // namespace
} // namespace trawlmeter
