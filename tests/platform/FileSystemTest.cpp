#include "platform/FileSystem.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;

struct FileSystem : ::testing::Test {
    testing::TestFolder folder;

    std::string at(std::string_view name) const { return (folder / name).string(); }

    // The code of a failure; an empty code for a success.
    static std::error_code codeOf(const Expected<void>& outcome) {
        return outcome ? std::error_code() : outcome.error().code;
    }

    void writeProtect(std::string_view name) const {
        stdfs::permissions(folder / name,
                           stdfs::perms::owner_write | stdfs::perms::group_write |
                               stdfs::perms::others_write,
                           stdfs::perm_options::remove);
    }
};

TEST_F(FileSystem, FileExistsOnlyForRegularFiles) {
    folder.writeFile("log.txt", "x");
    stdfs::create_directory(folder / "sub");
    stdfs::create_directory_symlink(folder / "sub", folder / "linkToSub");
    stdfs::create_symlink(folder / "log.txt", folder / "linkToLog");

    EXPECT_TRUE(fs::FileExists(at("log.txt")));
    EXPECT_TRUE(fs::FileExists(at("linkToLog")));
    EXPECT_FALSE(fs::FileExists(at("sub")));
    EXPECT_FALSE(fs::FileExists(at("linkToSub")));
    EXPECT_FALSE(fs::FileExists(at("missing")));
    EXPECT_FALSE(fs::FileExists(at("missing/deeper")));
    EXPECT_FALSE(fs::FileExists(""));
}

TEST_F(FileSystem, FolderExistsOnlyForFolders) {
    folder.writeFile("log.txt", "x");
    stdfs::create_directory(folder / "sub");
    stdfs::create_directory_symlink(folder / "sub", folder / "linkToSub");

    EXPECT_TRUE(fs::FolderExists(at("sub")));
    EXPECT_TRUE(fs::FolderExists(at("linkToSub")));
    EXPECT_FALSE(fs::FolderExists(at("log.txt")));
    EXPECT_FALSE(fs::FolderExists(at("missing")));
}

TEST_F(FileSystem, CreateFolderNeedsItsParentAndLeavesAFileOfThatNameAlone) {
    EXPECT_TRUE(fs::CreateFolder(at("temp")));
    EXPECT_TRUE(stdfs::is_directory(folder / "temp"));

    EXPECT_EQ(codeOf(fs::CreateFolder(at("missing/temp"))), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(stdfs::exists(folder / "missing"));

    folder.writeFile("plain", "data");
    EXPECT_EQ(codeOf(fs::CreateFolder(at("plain"))), std::errc::file_exists);
    EXPECT_EQ(folder.readFile("plain"), "data");

    EXPECT_EQ(codeOf(fs::CreateFolder(at("temp"))), std::errc::file_exists)
        << "an existing folder is not a new one";
}

TEST_F(FileSystem, DeleteFolderRemovesEveryFileAndSubfolder) {
    stdfs::create_directories(folder / "temp/a/b");
    folder.writeFile("temp/rezOve.000", "x");
    folder.writeFile("temp/a/one", "x");
    folder.writeFile("temp/a/b/two", "x");

    EXPECT_TRUE(fs::DeleteFolder(at("temp")));
    EXPECT_FALSE(stdfs::exists(folder / "temp"));
}

TEST_F(FileSystem, DeleteFolderKeepsAWriteProtectedFileAndRemovesTheRest) {
    stdfs::create_directories(folder / "temp/keep");
    stdfs::create_directories(folder / "temp/gone");
    folder.writeFile("temp/keep/locked", "x");
    folder.writeFile("temp/keep/free", "x");
    folder.writeFile("temp/gone/free", "x");
    folder.writeFile("temp/free", "x");
    writeProtect("temp/keep/locked");

    const auto refused = fs::DeleteFolder(at("temp"));
    EXPECT_EQ(codeOf(refused), std::errc::permission_denied);
    EXPECT_EQ(refused ? "" : refused.error().subject, at("temp/keep/locked"))
        << "the refusal names what stayed";
    EXPECT_TRUE(stdfs::exists(folder / "temp/keep/locked"));
    EXPECT_FALSE(stdfs::exists(folder / "temp/keep/free"));
    EXPECT_FALSE(stdfs::exists(folder / "temp/gone"));
    EXPECT_FALSE(stdfs::exists(folder / "temp/free"));
}

TEST_F(FileSystem, DeleteFolderRemovesLinksButNeverWhatTheyPointTo) {
    stdfs::create_directories(folder / "temp");
    stdfs::create_directories(folder / "outside/inner");
    folder.writeFile("outside/inner/precious", "x");
    folder.writeFile("outside/file", "x");
    stdfs::create_directory_symlink(folder / "outside", folder / "temp/folderLink");
    stdfs::create_symlink(folder / "outside/file", folder / "temp/fileLink");
    stdfs::create_symlink(folder / "nowhere", folder / "temp/danglingLink");

    EXPECT_TRUE(fs::DeleteFolder(at("temp")));
    EXPECT_FALSE(stdfs::exists(stdfs::symlink_status(folder / "temp")));
    EXPECT_EQ(folder.readFile("outside/inner/precious"), "x");
    EXPECT_EQ(folder.readFile("outside/file"), "x");
}

TEST_F(FileSystem, DeleteFolderOnALinkRemovesTheLinkOnly) {
    stdfs::create_directories(folder / "real");
    folder.writeFile("real/file", "x");
    stdfs::create_directory_symlink(folder / "real", folder / "temp");

    EXPECT_TRUE(fs::DeleteFolder(at("temp")));
    EXPECT_FALSE(stdfs::exists(stdfs::symlink_status(folder / "temp")));
    EXPECT_EQ(folder.readFile("real/file"), "x");
}

TEST_F(FileSystem, DeleteFolderRefusesMissingPathsAndFiles) {
    folder.writeFile("plain", "x");
    stdfs::create_symlink(folder / "plain", folder / "fileLink");

    EXPECT_EQ(codeOf(fs::DeleteFolder(at("missing"))), std::errc::no_such_file_or_directory);
    EXPECT_EQ(codeOf(fs::DeleteFolder(at("plain"))), std::errc::not_a_directory);
    EXPECT_EQ(codeOf(fs::DeleteFolder(at("fileLink"))), std::errc::not_a_directory);
    EXPECT_TRUE(stdfs::exists(folder / "plain"));
    EXPECT_TRUE(stdfs::is_symlink(folder / "fileLink"));
}

TEST_F(FileSystem, DeleteFileLeavesWriteProtectedFilesAndFolders) {
    folder.writeFile("rezOve.000", "x");
    folder.writeFile("rezOve.001", "x");
    writeProtect("rezOve.001");
    stdfs::create_directory(folder / "sub");

    EXPECT_TRUE(fs::DeleteFile(at("rezOve.000")));
    EXPECT_FALSE(stdfs::exists(folder / "rezOve.000"));
    EXPECT_EQ(codeOf(fs::DeleteFile(at("rezOve.001"))), std::errc::permission_denied);
    EXPECT_TRUE(stdfs::exists(folder / "rezOve.001"));
    EXPECT_EQ(codeOf(fs::DeleteFile(at("sub"))), std::errc::is_a_directory);
    EXPECT_TRUE(stdfs::is_directory(folder / "sub"));
    EXPECT_EQ(codeOf(fs::DeleteFile(at("missing"))), std::errc::no_such_file_or_directory);
}

TEST_F(FileSystem, ListFilesNamesTheFilesDirectlyInTheFolder) {
    stdfs::create_directories(folder / "temp/sub");
    folder.writeFile("temp/rezOve.000", "x");
    folder.writeFile("temp/rezOve.001", "x");
    folder.writeFile("temp/sub/nested", "x");
    stdfs::create_directory_symlink(folder / "temp/sub", folder / "temp/folderLink");
    stdfs::create_symlink(folder / "nowhere", folder / "temp/danglingLink");
    ASSERT_EQ(mkfifo((folder / "temp/pipe").c_str(), 0600), 0);

    auto names = fs::ListFiles(at("temp"));
    ASSERT_TRUE(names) << names.error();
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"rezOve.000", "rezOve.001"}));

    names = fs::ListFiles(at("missing"));
    ASSERT_FALSE(names);
    EXPECT_EQ(names.error().code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(names.error().subject, at("missing"));
}

} // namespace
} // namespace trawlmeter
