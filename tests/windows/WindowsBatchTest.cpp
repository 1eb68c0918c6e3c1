// The batch program on Windows, run as an operator runs it: what only Windows does to a run
// (logs held open by IIS, junctions, wide paths past the classic limit, console control events,
// locks) and the sample logs with exact counters and records.
#include "support/GeneratedLog.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"
#include "support/VisitRecords.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "logs/LogArchive.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/PathText.h"
#include "platform/windows/WideText.h"

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;
using windows::widePath;

struct BatchResult {
    DWORD status = 0;
    std::string out;
    std::string err;
};

// What a console program's C library reads back as `text`: quotes around it when it has a
// space or a quote, backslashes before a quote doubled.
std::wstring quotedArgument(const std::wstring& text) {
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring::npos) {
        return text;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::string withoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

std::string readText(const std::string& path) {
    return withoutCarriageReturns(testing::readWholeFile(pathFromUtf8(path)));
}

// One trawlmeter-batch.exe started with its output and errors going to files of `outputs`.
class BatchProcess {
public:
    BatchProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const testing::TestFolder& outputs, DWORD flags = 0)
        : m_outputs(outputs.str()) {
        std::wstring command = quotedArgument(windows::wideText(program));
        for (const auto& argument : arguments) {
            command += L" " + quotedArgument(windows::wideText(argument));
        }
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const auto outputFile = [&](const char* name) {
            return CreateFileW(widePath(joinPath(m_outputs, name)).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        const HANDLE out = outputFile("out");
        const HANDLE err = outputFile("err");
        const HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherited, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        m_started = CreateProcessW(widePath(program).c_str(), command.data(), nullptr, nullptr,
                                   TRUE, flags, nullptr, nullptr, &startup, &m_process);
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
    }
    BatchProcess(const BatchProcess&) = delete;
    BatchProcess& operator=(const BatchProcess&) = delete;
    ~BatchProcess() {
        if (m_started) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 99);
                WaitForSingleObject(m_process.hProcess, INFINITE);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }

    bool started() const { return m_started; }
    DWORD id() const { return m_process.dwProcessId; }

    BatchResult wait() const {
        BatchResult result;
        if (!m_started || WaitForSingleObject(m_process.hProcess, 120'000) != WAIT_OBJECT_0) {
            result.status = 9999;
            return result;
        }
        GetExitCodeProcess(m_process.hProcess, &result.status);
        result.out = readText(joinPath(m_outputs, "out"));
        result.err = readText(joinPath(m_outputs, "err"));
        return result;
    }

private:
    std::string m_outputs;
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

std::string builtBatch() {
    return joinPath(TRAWLMETER_PROGRAM_DIR, "trawlmeter-batch.exe");
}

BatchResult runBatch(const std::vector<std::string>& arguments,
                     const std::string& program = builtBatch()) {
    const testing::TestFolder outputs;
    const BatchProcess batch(program, arguments, outputs);
    EXPECT_TRUE(batch.started()) << "cannot start " << program;
    return batch.wait();
}

// Waits until `done` holds, for twenty seconds at most.
bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string sample(const char* name) {
    return joinPath(TRAWLMETER_SAMPLES_DIR, name);
}

bool samplesPresent() {
    return fs::FileExists(sample("waikolai-u_ex101228.log"));
}

long storedRecords(const std::string& database) {
    long total = 0;
    for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
        total += testing::countRows(database, table);
    }
    return total;
}

std::string countersOf(const testing::GeneratedLog& log) {
    const char* names[] = {"Baidu", "Google", "Yahoo", "Sogou", "Msn"};
    std::string text;
    for (std::size_t engine = 0; engine < 5; ++engine) {
        text += std::string(names[engine]) + ": " + std::to_string(log.crawlerLines[engine]) + "\n";
    }
    return text + "All: " + std::to_string(log.lines) + "\nOther crawlers: 0\n";
}

const testing::VisitRecord kFirstWaikolaiBaidu{
    "2010-12-28",
    "16:20:04",
    "W3SVC20",
    "67.222.136.138",
    "GET",
    "/",
    "-",
    "80",
    "-",
    "123.125.71.97",
    "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
    "200",
    "0",
    "0"};

constexpr const char* kWaikolaiCounters =
    "Baidu: 11\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 58\nOther crawlers: 1\n";

// A program folder with a fresh visit database.
struct WindowsBatch : ::testing::Test {
    WindowsBatch() { folder.createVisitDatabase(); }

    std::string database() const { return joinPath(folder.str(), "rezOve.mdb"); }
    std::string path(const char* name) const { return joinPath(folder.str(), name); }

    testing::TestFolder folder;
};

TEST_F(WindowsBatch, TheSampleLogsGiveTheCountersOfTheirReadmeAndTheRecordsFieldByField) {
    if (!samplesPresent()) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    const std::pair<const char*, const char*> samples[] = {
        {"plaso-iis6.log",
         "Baidu: 0\nGoogle: 0\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 16\nOther crawlers: 0\n"},
        {"waikolai-u_ex101228.log", kWaikolaiCounters},
        {"lnav-w3c-big.log",
         "Baidu: 0\nGoogle: 2\nYahoo: 0\nSogou: 0\nMsn: 0\nAll: 254\nOther crawlers: 11\n"}};
    long crawlerLines = 0;
    for (const auto& [name, counters] : samples) {
        const auto result = runBatch({"--folder", folder.str(), sample(name)});
        EXPECT_EQ(result.status, 0u) << name << ": " << result.err;
        EXPECT_EQ(result.out, counters) << name;
        EXPECT_FALSE(fs::PathExists(path("temp"))) << name;
    }
    const auto baidu = testing::readVisitRecords(database(), "baidu");
    ASSERT_EQ(baidu.size(), 11u);
    EXPECT_EQ(baidu[0], kFirstWaikolaiBaidu);
    crawlerLines = storedRecords(database());
    EXPECT_EQ(crawlerLines, 11 + 2 + 2);
}

TEST_F(WindowsBatch, ALogThatIisHoldsOpenForWritingIsAnalysedWhileItIsHeld) {
    if (!samplesPresent()) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    const std::string log = path("u_ex101228.log");
    ASSERT_TRUE(CopyFileW(widePath(sample("waikolai-u_ex101228.log")).c_str(),
                          widePath(log).c_str(), FALSE));
    // IIS keeps today's log open for appending and lets others only read it.
    const HANDLE iis = CreateFileW(widePath(log).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(iis, INVALID_HANDLE_VALUE);

    const auto result = runBatch({"--folder", folder.str(), log});
    CloseHandle(iis);

    EXPECT_EQ(result.status, 0u) << result.err;
    EXPECT_EQ(result.out, kWaikolaiCounters);
    EXPECT_EQ(storedRecords(database()), 13);
}

// Makes `link` a junction (a mount point) to the folder `target`, as mklink /J does.
std::optional<DWORD> makeJunction(const std::string& link, const std::string& target) {
    if (!CreateDirectoryW(widePath(link).c_str(), nullptr)) {
        return GetLastError();
    }
    const std::wstring substitute = L"\\??\\" + widePath(target);
    const std::wstring print = widePath(target);
    const std::size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const std::size_t printBytes = print.size() * sizeof(wchar_t);
    // The REPARSE_DATA_BUFFER of a mount point: tag, sizes, then both names, each ended by NUL.
    std::vector<char> buffer(16 + substituteBytes + printBytes + 2 * sizeof(wchar_t), '\0');
    const auto put16 = [&](std::size_t at, std::size_t value) {
        const auto word = static_cast<WORD>(value);
        std::memcpy(buffer.data() + at, &word, sizeof word);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.data(), &tag, sizeof tag);
    put16(4, buffer.size() - 8);
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, substituteBytes + sizeof(wchar_t));
    put16(14, printBytes);
    std::memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
    std::memcpy(buffer.data() + 16 + substituteBytes + sizeof(wchar_t), print.data(), printBytes);

    const HANDLE handle =
        CreateFileW(widePath(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD returned = 0;
    const bool made =
        DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (!made) {
        (void)RemoveDirectoryW(widePath(link).c_str());
        return error;
    }
    return std::nullopt;
}

TEST_F(WindowsBatch, AJunctionAsTheWorkFolderStopsTheRunAndWhatItPointsToSurvives) {
    const std::string target = path("elsewhere");
    ASSERT_TRUE(fs::CreateFolder(target));
    folder.writeFile("elsewhere/keep.txt", "kept");
    if (const auto refused = makeJunction(path("temp"), target)) {
        GTEST_SKIP() << "this system makes no junction (error " << *refused << ")";
    }
    ASSERT_TRUE(fs::IsLink(path("temp")));
    testing::writeTestLog(pathFromUtf8(path("access.log")), 20'000);

    const auto result = runBatch({"--folder", folder.str(), path("access.log")});

    EXPECT_EQ(result.status, 3u) << result.err;
    EXPECT_EQ(folder.readFile("elsewhere/keep.txt"), "kept");
    EXPECT_TRUE(fs::IsLink(path("temp")));
    EXPECT_EQ(storedRecords(database()), 0);
    (void)RemoveDirectoryW(widePath(path("temp")).c_str());
}

TEST_F(WindowsBatch, AChineseProgramFolderTakesAChineseLogInAFolderPastTheClassicPathLimit) {
    if (!samplesPresent()) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    // Windows starts no program whose own path passes the limit (CreateProcess keeps it), so
    // the long path is the log's.
    const std::string program = path("程序 文件夹");
    ASSERT_TRUE(fs::CreateFolder(program));
    const std::string batch = joinPath(program, "trawlmeter-batch.exe");
    const std::string database = joinPath(program, "rezOve.mdb");
    ASSERT_TRUE(CopyFileW(widePath(builtBatch()).c_str(), widePath(batch).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(widePath(joinPath(TRAWLMETER_PROGRAM_DIR, "rezOve.mdb")).c_str(),
                          widePath(database).c_str(), FALSE));
    std::string logs = path("日志");
    ASSERT_TRUE(fs::CreateFolder(logs));
    while (windows::wideText(logs).size() < 300) {
        logs = joinPath(logs, "很长的文件夹名称 long folder name");
        ASSERT_TRUE(fs::CreateFolder(logs)) << logs;
    }
    const std::string log = joinPath(logs, "访问日志 2010年12月28日.log");
    ASSERT_TRUE(CopyFileW(widePath(sample("waikolai-u_ex101228.log")).c_str(),
                          widePath(log).c_str(), FALSE));

    // Beside its database, as an operator starts it, with no --folder.
    const auto result = runBatch({log}, batch);

    EXPECT_EQ(result.status, 0u) << result.err;
    EXPECT_EQ(result.out, kWaikolaiCounters);
    EXPECT_FALSE(fs::PathExists(joinPath(program, "temp")));
    const auto baidu = testing::readVisitRecords(database, "baidu");
    ASSERT_EQ(baidu.size(), 11u);
    EXPECT_EQ(baidu[0], kFirstWaikolaiBaidu);
}

TEST_F(WindowsBatch, ARunIsRefusedWhileAnotherProcessHoldsTheFolderAndRunsOnceItIsFree) {
    testing::writeTestLog(pathFromUtf8(path("access.log")), 20'000);
    {
        // The lock another run takes: this process holds it as a running batch would.
        auto held = FolderLock::tryLock(folder.str());
        ASSERT_TRUE(held);
        const auto refused = runBatch({"--folder", folder.str(), path("access.log")});
        EXPECT_EQ(refused.status, 3u);
        EXPECT_NE(refused.err.find("另一个分析正在使用此程序文件夹"), std::string::npos)
            << refused.err;
        EXPECT_EQ(storedRecords(database()), 0);
    }
    const auto ran = runBatch({"--folder", folder.str(), path("access.log")});
    EXPECT_EQ(ran.status, 0u) << ran.err;
}

TEST_F(WindowsBatch, CtrlBreakStopsTheRunWithWhatItReadStoredAndTheTempFolderRemoved) {
    const auto big = testing::writeTestLog(pathFromUtf8(path("big.log")), 60'000'000);
    const auto small = testing::writeTestLog(pathFromUtf8(path("small.log")), 20'000);
    // The batch gets a console of its own, in a process group of its own, as in cmd.exe.
    const testing::TestFolder outputs;
    const BatchProcess first(builtBatch(), {"--folder", folder.str(), path("big.log")}, outputs,
                             CREATE_NEW_PROCESS_GROUP | CREATE_NEW_CONSOLE);
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(eventually([&] { return fs::PathExists(path("temp/rezOve.000")); }));
    ASSERT_TRUE(eventually(
        [&] { return !fs::PathExists(path("temp/rezOve.000")) && fs::PathExists(path("temp")); }));
    // A console's control events reach the processes attached to it.
    FreeConsole();
    if (!AttachConsole(first.id())) {
        GTEST_SKIP() << "cannot attach to the batch's console (error " << GetLastError() << ")";
    }
    SetConsoleCtrlHandler(nullptr, TRUE); // this process ignores the event it sends
    const bool sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, first.id());
    const DWORD sendError = GetLastError();
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
    if (!sent) {
        GTEST_SKIP() << "this system sends no console control event (error " << sendError << ")";
    }
    const auto stopped = first.wait();

    EXPECT_EQ(stopped.status, 128u + 2u) << stopped.err; // as SIGINT ends it elsewhere
    EXPECT_NE(stopped.err.find("SIGINT"), std::string::npos) << stopped.err;
    EXPECT_FALSE(fs::PathExists(path("temp")));
    const long storedBefore = storedRecords(database());
    EXPECT_GT(storedBefore, 0);
    EXPECT_NE(stopped.out, countersOf(big));

    const auto next = runBatch({"--folder", folder.str(), path("small.log")});
    EXPECT_EQ(next.status, 0u) << next.err;
    EXPECT_EQ(next.out, countersOf(small));
}

TEST_F(WindowsBatch, AKilledRunLeavesNoLockBehind) {
    testing::writeTestLog(pathFromUtf8(path("big.log")), 60'000'000);
    const auto small = testing::writeTestLog(pathFromUtf8(path("small.log")), 20'000);
    {
        const testing::TestFolder outputs;
        const BatchProcess first(builtBatch(), {"--folder", folder.str(), path("big.log")},
                                 outputs);
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(eventually([&] { return fs::PathExists(path("temp/rezOve.000")); }));
    } // ended by TerminateProcess, as the task manager ends it
    const auto next = runBatch({"--folder", folder.str(), path("small.log")});
    EXPECT_EQ(next.status, 0u) << next.err;
    EXPECT_EQ(next.out, countersOf(small));
}

// A zip as Windows' own "Send to > Compressed (zipped) folder" writes it: each member deflated,
// its name in the OEM code page of the system (CP936 on a Chinese Windows) without the flag that
// would mark it UTF-8, made by MS-DOS with the archive attribute.
std::string sendToCompressedFolder(const std::string& cp936Name, const std::string& content) {
    std::string deflated(compressBound(static_cast<uLong>(content.size())) + 64, '\0');
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(deflated.data());
    stream.avail_out = static_cast<uInt>(deflated.size());
    deflate(&stream, Z_FINISH);
    deflated.resize(stream.total_out);
    deflateEnd(&stream);
    const auto crc = static_cast<std::uint32_t>(crc32(
        0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));

    std::string zip;
    const auto put = [&zip](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            zip += static_cast<char>(value >> (8 * i) & 0xff);
        }
    };
    const auto size = [](const std::string& text) {
        return static_cast<std::uint32_t>(text.size());
    };
    const std::uint32_t dosTime = (16u << 11) | (20u << 5) | 2u; // 16:20:04
    const std::uint32_t dosDate = ((2010u - 1980u) << 9) | (12u << 5) | 28u;
    put(0x04034b50, 4); // a member
    put(20, 2);         // version needed
    put(0, 2);          // flags: no UTF-8 name
    put(8, 2);          // deflated
    put(dosTime, 2);
    put(dosDate, 2);
    put(crc, 4);
    put(size(deflated), 4);
    put(size(content), 4);
    put(size(cp936Name), 2);
    put(0, 2);
    zip += cp936Name;
    zip += deflated;
    const auto directory = size(zip);
    put(0x02014b50, 4); // its entry in the central directory
    put(20, 2);         // made by MS-DOS, 2.0
    put(20, 2);
    put(0, 2);
    put(8, 2);
    put(dosTime, 2);
    put(dosDate, 2);
    put(crc, 4);
    put(size(deflated), 4);
    put(size(content), 4);
    put(size(cp936Name), 2);
    put(0, 2);
    put(0, 2);
    put(0, 2);
    put(0, 2);
    put(FILE_ATTRIBUTE_ARCHIVE, 4);
    put(0, 4);
    zip += cp936Name;
    const auto directorySize = size(zip) - directory;
    put(0x06054b50, 4); // the end
    put(0, 2);
    put(0, 2);
    put(1, 2);
    put(1, 2);
    put(directorySize, 4);
    put(directory, 4);
    put(0, 2);
    return zip;
}

TEST_F(WindowsBatch, AZipOfWindowsOwnWithAChineseMemberNameGivesTheCountersOfItsLog) {
    if (!samplesPresent()) {
        GTEST_SKIP() << "no shared samples beside the project";
    }
    // "访问日志.log" in CP936.
    const std::string name = "\xb7\xc3\xce\xca\xc8\xd5\xd6\xbe.log";
    const std::string log = testing::readWholeFile(pathFromUtf8(sample("waikolai-u_ex101228.log")));
    folder.writeFile("日志.zip", sendToCompressedFolder(name, log));
    // Whatever code page this Windows has, the name is read as Windows wrote it.
    const auto members = logs::listLogs(path("日志.zip"));
    ASSERT_TRUE(members) << members.error().detail;
    ASSERT_EQ(members->size(), 1u);
    EXPECT_EQ((*members)[0].member, "访问日志.log");

    const auto result = runBatch({"--folder", folder.str(), path("日志.zip")});

    EXPECT_EQ(result.status, 0u) << result.err;
    EXPECT_EQ(result.out, kWaikolaiCounters);
    const auto baidu = testing::readVisitRecords(database(), "baidu");
    ASSERT_EQ(baidu.size(), 11u);
    EXPECT_EQ(baidu[0], kFirstWaikolaiBaidu);
}

} // namespace
} // namespace trawlmeter
