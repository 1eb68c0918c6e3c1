#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/GeneratedLog.h"
#include "support/PowerCutVfs.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {

using testing::PowerCutVfs;
using Loss = PowerCutVfs::Loss;

constexpr std::array<const char*, 5> kTables{"baidu", "google", "yahoo", "sogou", "msn"};
constexpr std::size_t kChunkBytes = 2'097'152;
// Three chunks, each committed on its own.
constexpr std::int64_t kLogBytes = 5'000'000;
constexpr int kRuns = 2;
// About this many moments of the session are cut at, besides every sync.
constexpr long kCuts = 150;
// Each cut also tears what was not synced this many ways.
constexpr std::uint32_t kTornLosses = 2;

// The query of each crawler line ("n=<line>"), per table in the order stored.
using Visits = std::array<std::vector<std::string>, kTables.size()>;

// The visits of each chunk's commit: the crawler lines that end in the chunk.
std::vector<Visits> visitsByChunk(const std::string& log) {
    std::vector<Visits> chunks(log.size() / kChunkBytes + 1);
    for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = log.substr(at, end - at);
        for (std::size_t table = 0; table < kTables.size(); ++table) {
            if (line.find(testing::crawlerAgent(static_cast<int>(table))) != std::string::npos) {
                const auto query = line.find(" n=");
                chunks[end / kChunkBytes][table].push_back(
                    line.substr(query + 1, line.find(' ', query + 1) - query - 1));
            }
        }
    }
    return chunks;
}

// What a database left by a power cut holds, in whole commits of the sequence, or why it is
// no such thing.
struct Found {
    long commits = -1;
    std::string fault;
};

Found openAfterPowerCut(const std::filesystem::path& database, const std::vector<Visits>& commits) {
    sqlite3* db = nullptr;
    Found found;
    const auto query = [&](const std::string& sql, std::vector<std::string>& values) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            return false;
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement, 0);
            values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(statement);
        return rc == SQLITE_DONE;
    };
    std::vector<std::string> integrity;
    Visits stored;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        !query("PRAGMA integrity_check", integrity)) {
        found.fault = std::string("does not open: ") + sqlite3_errmsg(db);
    } else if (integrity != std::vector<std::string>{"ok"}) {
        found.fault = "fails the integrity check: " + integrity.back();
    }
    for (std::size_t table = 0; found.fault.empty() && table < kTables.size(); ++table) {
        if (!query("SELECT csuriquery FROM " + std::string(kTables[table]) + " ORDER BY rowid",
                   stored[table])) {
            found.fault = std::string("cannot read ") + kTables[table] + ": " + sqlite3_errmsg(db);
        }
    }
    sqlite3_close(db);
    if (!found.fault.empty()) {
        return found;
    }
    // The commits whose visits make up the tables, one after another from the first.
    Visits expected;
    for (long commit = 0;; ++commit) {
        if (expected == stored) {
            found.commits = commit;
            return found;
        }
        if (commit == static_cast<long>(commits.size())) {
            break;
        }
        for (std::size_t table = 0; table < kTables.size(); ++table) {
            const auto& committed = commits[static_cast<std::size_t>(commit)][table];
            expected[table].insert(expected[table].end(), committed.begin(), committed.end());
        }
    }
    std::size_t rows = 0;
    for (const auto& table : stored) {
        rows += table.size();
    }
    found.fault = "holds " + std::to_string(rows) +
                  " visits, which are not those of the first chunks whole and in log order";
    return found;
}

// Another program reading the database, its view held from start to end.
class Reader {
public:
    explicit Reader(const std::string& database) {
        sqlite3_open_v2(database.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "SELECT count(*) FROM baidu", -1, &m_reading, nullptr);
        reading = sqlite3_step(m_reading) == SQLITE_ROW;
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() {
        sqlite3_finalize(m_reading);
        sqlite3_close(m_db);
    }
    bool reading = false;

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_reading = nullptr;
};

// The file system under the program folder.
struct Disk {
    const char* name;
    PowerCutVfs::SharedMemory sharedMemory;
    // Where a commit goes first.
    const char* journal;
    // Whether another program reads throughout the second run, so that no checkpoint gets past
    // what it reads. A rollback journal makes a commit wait for readers instead.
    bool readerInTheSecondRun;
};

// One window session on a program folder: start, `kRuns` analyses of the log, close. `ranTo`
// learns after each run how many commits it made.
void analyseInOneSession(const testing::TestFolder& folder, const Disk& disk,
                         const std::function<void(long commits)>& ranTo, long commitsPerRun) {
    testing::FakePlatform platform;
    MainForm form(platform.ports(folder.str()));
    form.Form_Load();
    ASSERT_TRUE(form.VisitDb);
    form.TxtrezOveFile.setText((folder / "access.log").string());
    for (int run = 1; run <= kRuns; ++run) {
        std::optional<Reader> reader;
        if (run == 2 && disk.readerInTheSecondRun) {
            reader.emplace((folder / "rezOve.mdb").string());
            ASSERT_TRUE(reader->reading);
        }
        form.CmdAnalysis_Click();
        ASSERT_EQ(form.lastRunOutcome(), RunStep::Done);
        ranTo(run * commitsPerRun);
    }
    EXPECT_TRUE(form.Form_Unload());
    EXPECT_TRUE(platform.messages.empty());
}

void PrintTo(const Disk& disk, std::ostream* out) {
    *out << disk.name;
}

class PowerCut : public ::testing::TestWithParam<Disk> {};

// A power cut at any moment of a window session (start, two analyses, close) leaves a database
// that opens whole and holds the visits of whole chunks in the order of the log, every chunk
// whose commit had reached the disk among them, and every chunk of a run that had ended.
TEST_P(PowerCut, AtAnyMomentLeavesWholeChunksInLogOrderAndLosesNothingThatWasSynced) {
    const Disk& disk = GetParam();
    testing::TestFolder folder;
    testing::TestFolder after;
    folder.createVisitDatabase();
    const std::string pristine = folder.readFile("rezOve.mdb");
    testing::writeTestLog(folder / "access.log", kLogBytes);
    const auto chunks = visitsByChunk(folder.readFile("access.log"));
    std::vector<Visits> commits;
    for (int run = 0; run < kRuns; ++run) {
        commits.insert(commits.end(), chunks.begin(), chunks.end());
    }
    const auto commitsPerRun = static_cast<long>(chunks.size());

    long changes = 0;
    {
        PowerCutVfs dryRun(folder.path(), disk.sharedMemory);
        analyseInOneSession(
            folder, disk, [](long) {}, commitsPerRun);
        changes = dryRun.changes();
    }
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(changes, kCuts);
    for (const char* left : {"rezOve.mdb-wal", "rezOve.mdb-shm", "rezOve.mdb-journal"}) {
        std::filesystem::remove(folder / left);
    }
    testing::writeWholeFile(folder / "rezOve.mdb", pristine);

    PowerCutVfs vfs(folder.path(), disk.sharedMemory);
    // Commits that no later power cut may lose: those of ended runs, and those that were on the
    // disk at an earlier cut.
    std::atomic<long> kept = 0;
    std::mutex faultsMutex;
    std::vector<std::string> faults;
    long cuts = 0;
    // Moments when a commit is being written to its journal or log, and when pages are being
    // written into the file (a checkpoint, a commit's second step, a change of journal).
    long cutsInACommit = 0;
    long cutsWhileTheFileIsWritten = 0;
    vfs.beforeEachChange([&](const PowerCutVfs::Change& change) {
        if (change.number % (changes / kCuts) != 0 && change.kind != PowerCutVfs::Kind::Sync) {
            return;
        }
        ++cuts;
        cutsInACommit += vfs.hasUnsyncedWrites(disk.journal);
        cutsWhileTheFileIsWritten += vfs.hasUnsyncedWrites("rezOve.mdb");
        for (std::uint32_t way = 0; way <= kTornLosses + 1; ++way) {
            const Loss loss = way == 0 ? Loss::Everything : way == 1 ? Loss::Nothing : Loss::Torn;
            const auto seed = static_cast<std::uint32_t>(change.number) * 8 + way;
            vfs.layOutAfterPowerCut(after.path(), loss, seed);
            const Found found = openAfterPowerCut(after / "rezOve.mdb", commits);
            if (found.fault.empty() && loss == Loss::Everything && found.commits > kept) {
                kept = found.commits;
            }
            if (found.fault.empty() && found.commits >= kept) {
                continue;
            }
            const std::lock_guard lock(faultsMutex);
            faults.push_back("cut before change " + std::to_string(change.number) + " (" +
                             change.file + "), loss " + std::to_string(way) + ": " +
                             (found.fault.empty()
                                  ? "lost commits: " + std::to_string(found.commits) + " of " +
                                        std::to_string(kept.load())
                                  : found.fault));
        }
    });
    analyseInOneSession(
        folder, disk, [&](long commitsSoFar) { kept = commitsSoFar; }, commitsPerRun);
    vfs.beforeEachChange({});

    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
    EXPECT_EQ(kept, static_cast<long>(commits.size()));
    EXPECT_GE(cuts, kCuts);
    EXPECT_GT(cutsInACommit, 0);
    EXPECT_GT(cutsWhileTheFileIsWritten, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, PowerCut,
    ::testing::Values(
        Disk{"WithAWriteAheadLog", PowerCutVfs::SharedMemory::Forwarded, "rezOve.mdb-wal", true},
        Disk{"WithoutSharedMemory", PowerCutVfs::SharedMemory::None, "rezOve.mdb-journal", false}),
    [](const ::testing::TestParamInfo<Disk>& disk) { return std::string(disk.param.name); });

} // namespace
} // namespace trawlmeter
