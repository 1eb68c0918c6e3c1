// The installer and the portable zip as an administrator and an operator use them: a silent
// installation into a folder of one's choosing, a run of the installed batch, a silent removal
// that keeps the records, and an installation over them.
#include "support/GeneratedLog.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/PathText.h"
#include "platform/windows/WideText.h"

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;
using windows::widePath;
using windows::wideText;

constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Trawlmeter";

struct Finished {
    DWORD status = 0;
    std::string out;
};

// Runs `program` with the command line `arguments` as given (the installer takes /D= last and
// unquoted) and waits for its end, two minutes at most; its output goes to a file of `outputs`.
Finished run(const std::string& program, const std::wstring& arguments,
             const testing::TestFolder& outputs) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const std::string outPath = joinPath(outputs.str(), "out");
    const HANDLE out = CreateFileW(widePath(outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring command = L"\"" + widePath(program) + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(widePath(program).c_str(), command.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    Finished finished{9999, {}};
    if (!started) {
        ADD_FAILURE() << "cannot start " << program << " (error " << GetLastError() << ")";
        return finished;
    }
    if (WaitForSingleObject(process.hProcess, 120'000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &finished.status);
    } else {
        TerminateProcess(process.hProcess, 99);
        ADD_FAILURE() << program << " did not end within two minutes";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    finished.out = testing::readWholeFile(pathFromUtf8(outPath));
    std::erase(finished.out, '\r');
    return finished;
}

std::string registered(const wchar_t* value) {
    wchar_t text[1024];
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, value, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS) {
        return "(none)";
    }
    return windows::utf8Text(text);
}

std::string startMenuShortcut() {
    wchar_t programs[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs))) {
        return {};
    }
    return joinPath(windows::utf8Text(programs), "Trawlmeter.lnk");
}

bool exists(const std::string& path) {
    return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string fileText(const std::string& path) {
    return testing::readWholeFile(pathFromUtf8(path));
}

// The files of the build's program folder, by name.
std::vector<std::string> programFolderFiles() {
    std::vector<std::string> names;
    for (const auto& entry : stdfs::directory_iterator(pathFromUtf8(TRAWLMETER_PROGRAM_DIR))) {
        names.push_back(utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

long visitRecords(const std::string& database) {
    long total = 0;
    for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
        total += testing::countRows(database, table);
    }
    return total;
}

// A folder to install into, with a space and Chinese in its name, and the installer's and the
// uninstaller's runs in it.
struct Installation : ::testing::Test {
    Installation() : target(joinPath(folder.str(), "程序 Trawlmeter")) {}
    ~Installation() override {
        // A test stopped half-way leaves no registration pointing into a removed folder.
        if (registered(L"InstallLocation") == windowsPath()) {
            (void)RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
            (void)DeleteFileW(widePath(startMenuShortcut()).c_str());
        }
    }

    std::string windowsPath() const {
        std::string path = target;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    std::string installed(const std::string& name) const { return joinPath(target, name); }

    Finished install() const {
        return run(TRAWLMETER_INSTALLER, L"/S /D=" + wideText(windowsPath()), outputs);
    }
    // With _?= the uninstaller runs where it lies instead of from a copy that would return at
    // once, so its end is the end of the removal.
    Finished uninstall() const {
        return run(installed("uninstall.exe"), L"/S _?=" + wideText(windowsPath()), outputs);
    }
    Finished analyse(const std::string& log) const {
        return run(installed("trawlmeter-batch.exe"), L"\"" + widePath(log) + L"\"", outputs);
    }

    testing::TestFolder folder;
    testing::TestFolder outputs;
    std::string target;
};

TEST_F(Installation, InstallsSilentlyRemovesSilentlyKeepingTheRecordsAndInstallsOverThem) {
    const std::string sample = joinPath(TRAWLMETER_SAMPLES_DIR, "waikolai-u_ex101228.log");
    if (!exists(sample)) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    const std::string database = installed("rezOve.mdb");

    const auto fresh = install();
    ASSERT_EQ(fresh.status, 0u) << fresh.out;
    for (const auto& name : programFolderFiles()) {
        EXPECT_EQ(fileText(installed(name)), fileText(joinPath(TRAWLMETER_PROGRAM_DIR, name)))
            << name;
    }
    EXPECT_TRUE(exists(installed("uninstall.exe")));
    EXPECT_EQ(registered(L"DisplayVersion"), "1.00");
    EXPECT_EQ(registered(L"InstallLocation"), windowsPath());
    // The shortcut starts the window, where the program folder has one.
    const bool window = exists(joinPath(TRAWLMETER_PROGRAM_DIR, "trawlmeter.exe"));
    EXPECT_EQ(exists(startMenuShortcut()), window);

    const auto analysed = analyse(sample);
    ASSERT_EQ(analysed.status, 0u) << analysed.out;
    EXPECT_EQ(analysed.out,
              "Baidu: 11\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 58\nOther crawlers: 1\n");
    ASSERT_EQ(visitRecords(database), 13);

    // An installation over this one replaces the programs, and keeps the records and the ranges
    // the operator refreshed.
    const std::string batch = installed("trawlmeter-batch.exe");
    testing::writeWholeFile(pathFromUtf8(batch), "an older batch");
    testing::writeWholeFile(pathFromUtf8(installed("googlebot.json")), "refreshed");
    const auto over = install();
    EXPECT_EQ(over.status, 0u) << over.out;
    EXPECT_EQ(visitRecords(database), 13);
    EXPECT_TRUE(fileText(batch) ==
                fileText(joinPath(TRAWLMETER_PROGRAM_DIR, "trawlmeter-batch.exe")));
    EXPECT_EQ(fileText(installed("googlebot.json")), "refreshed");

    // What an interrupted run left, and a file of the operator's own.
    ASSERT_TRUE(CreateDirectoryW(widePath(installed("temp")).c_str(), nullptr));
    testing::writeWholeFile(pathFromUtf8(installed("temp/rezOve.000")), "a chunk");
    testing::writeWholeFile(pathFromUtf8(installed("notes.txt")), "mine");

    const auto removed = uninstall();
    ASSERT_EQ(removed.status, 0u) << removed.out;
    for (const auto& name : programFolderFiles()) {
        EXPECT_EQ(exists(installed(name)), name == "rezOve.mdb") << name;
    }
    EXPECT_FALSE(exists(installed("temp")));
    EXPECT_EQ(fileText(installed("notes.txt")), "mine");
    EXPECT_EQ(visitRecords(database), 13);
    EXPECT_EQ(registered(L"InstallLocation"), "(none)");
    EXPECT_FALSE(exists(startMenuShortcut()));

    // Installed again, the programs are back beside the records they left.
    const auto again = install();
    ASSERT_EQ(again.status, 0u) << again.out;
    EXPECT_TRUE(exists(installed("trawlmeter-batch.exe")));
    EXPECT_EQ(visitRecords(database), 13);
    EXPECT_EQ(uninstall().status, 0u);
}

TEST_F(Installation, WhileTheInstalledBatchRunsNothingIsRemovedOrReplaced) {
    ASSERT_EQ(install().status, 0u);
    const std::string log = joinPath(folder.str(), "big.log");
    testing::writeTestLog(pathFromUtf8(log), 150'000'000);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"trawlmeter-batch.exe \"" + widePath(log) + L"\"";
    PROCESS_INFORMATION batch{};
    ASSERT_TRUE(CreateProcessW(widePath(installed("trawlmeter-batch.exe")).c_str(), command.data(),
                               nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &batch));
    const auto running = [&] { return WaitForSingleObject(batch.hProcess, 0) == WAIT_TIMEOUT; };
    for (int waited = 0; waited < 20'000 && !exists(installed("temp")); waited += 10) {
        Sleep(10);
    }

    const auto removal = uninstall();
    const auto installation = install();
    EXPECT_TRUE(running()) << "the run ended before the test could use it: give it a longer log";
    EXPECT_EQ(removal.status, 2u) << removal.out;
    EXPECT_EQ(installation.status, 2u) << installation.out;
    for (const auto& name : programFolderFiles()) {
        EXPECT_TRUE(exists(installed(name))) << name;
    }
    EXPECT_TRUE(exists(installed("temp")));
    EXPECT_EQ(registered(L"InstallLocation"), windowsPath());

    // Killed, the run leaves its work folder, its lock and its write-ahead log; the removal takes
    // the first two.
    TerminateProcess(batch.hProcess, 99);
    WaitForSingleObject(batch.hProcess, INFINITE);
    CloseHandle(batch.hThread);
    CloseHandle(batch.hProcess);
    const auto removed = uninstall();
    EXPECT_EQ(removed.status, 0u) << removed.out;
    EXPECT_FALSE(exists(installed("temp")));
    EXPECT_FALSE(exists(installed("trawlmeter.lock")));
    EXPECT_FALSE(exists(installed("trawlmeter-batch.exe")));
    EXPECT_TRUE(exists(installed("rezOve.mdb")));
}

// The members of a zip and their contents, read through libarchive.
std::map<std::string, std::string> zipMembers(const std::string& path) {
    std::map<std::string, std::string> members;
    const std::unique_ptr<archive, decltype(&archive_read_free)> zip(archive_read_new(),
                                                                     archive_read_free);
    archive_read_support_format_zip(zip.get());
    if (archive_read_open_filename_w(zip.get(), widePath(path).c_str(), 65536) != ARCHIVE_OK) {
        ADD_FAILURE() << "cannot open " << path << ": " << archive_error_string(zip.get());
        return members;
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(zip.get(), &entry) == ARCHIVE_OK) {
        std::string content;
        char buffer[65536];
        la_ssize_t read = 0;
        while ((read = archive_read_data(zip.get(), buffer, sizeof buffer)) > 0) {
            content.append(buffer, static_cast<std::size_t>(read));
        }
        EXPECT_EQ(read, 0) << archive_error_string(zip.get());
        members[archive_entry_pathname(entry)] = std::move(content);
    }
    return members;
}

TEST(PortableZip, HoldsEveryFileOfTheProgramFolderUnderTrawlmeter) {
    std::map<std::string, std::string> expected{{"Trawlmeter/", ""}};
    for (const auto& name : programFolderFiles()) {
        expected["Trawlmeter/" + name] = fileText(joinPath(TRAWLMETER_PROGRAM_DIR, name));
    }
    const auto members = zipMembers(TRAWLMETER_PORTABLE_ZIP);
    ASSERT_EQ(members.size(), expected.size());
    for (const auto& [name, content] : expected) {
        const auto member = members.find(name);
        ASSERT_NE(member, members.end()) << name;
        EXPECT_TRUE(member->second == content) << name << " differs";
    }
}

} // namespace
} // namespace trawlmeter
