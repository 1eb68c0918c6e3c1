// Times the chunk scanner over a generated log laid out as a program folder, chunk by chunk
// as an analysis run scans them, and compares it with grep counting the same crawler tokens.
//
//   bench-scan [MiB=256] [crawler percent=10]
#include "BenchSupport.h"

#include "app/CrawlerEngines.h"
#include "app/MainForm.h"
#include "analysis/FieldLayout.h"
#include "store/VisitColumns.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace trawlmeter;
namespace fsys = std::filesystem;

constexpr std::int64_t kMiB = std::int64_t{1} << 20;
constexpr std::int64_t kChunkSize = 2 * kMiB;
constexpr const char* kGrepPattern = "baiduspider|googlebot|yahoo|sogou|msn";

// The delivered database's layout, made from the same column names the exports write.
bool createVisitDatabase(const fsys::path& path) {
    std::string schema;
    for (const auto table : kCrawlerTables) {
        schema += "CREATE TABLE " + std::string(table) + " (";
        for (std::size_t i = 0; i < store::kVisitColumns.size(); ++i) {
            schema += (i ? ", " : "") + std::string(store::kVisitColumns[i]) + " TEXT";
        }
        schema += ");\n";
    }
    sqlite3* db = nullptr;
    const bool made = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return made;
}

std::int64_t storedRecords(const fsys::path& path) {
    sqlite3* db = nullptr;
    std::int64_t total = 0;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        for (const auto table : kCrawlerTables) {
            const std::string sql = "SELECT count(*) FROM " + std::string(table);
            sqlite3_stmt* query = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) == SQLITE_OK &&
                sqlite3_step(query) == SQLITE_ROW) {
                total += sqlite3_column_int64(query, 0);
            }
            sqlite3_finalize(query);
        }
    }
    sqlite3_close(db);
    return total;
}

// Cuts the log by plain copying into 2 MiB chunk files named as the splitter names them.
std::vector<std::string> writeChunks(const fsys::path& log, const fsys::path& folder) {
    std::ifstream in(log, std::ios::binary);
    std::vector<char> buffer(static_cast<std::size_t>(kChunkSize));
    std::vector<std::string> names;
    while (in.read(buffer.data(), kChunkSize) || in.gcount() > 0) {
        char name[32];
        std::snprintf(name, sizeof name, "rezOve.%03zu", names.size());
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(buffer.data(), in.gcount());
        names.emplace_back(name);
    }
    return names;
}

// Processor seconds (user and system) of this process, or of its waited-for children.
double processorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double counterValue(const TextBox& box) {
    return std::strtod(box.Text().c_str(), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t mebibytes = argc > 1 ? std::atoll(argv[1]) : 256;
    const int crawlerPercent = argc > 2 ? std::atoi(argv[2]) : 10;
    if (mebibytes <= 0 || crawlerPercent < 0 || crawlerPercent > 100) {
        std::fprintf(stderr, "usage: bench-scan [MiB] [crawler percent]\n");
        return 2;
    }

    std::string pattern = (fsys::temp_directory_path() / "bench-scan-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("bench-scan: temporary folder");
        return 1;
    }
    const fsys::path folder = pattern;
    const fsys::path log = folder / "generated.log";
    std::error_code error;
    fsys::create_directory(folder / "temp", error);
    if (error || !createVisitDatabase(folder / "rezOve.mdb")) {
        std::fprintf(stderr, "bench-scan: cannot lay out the program folder %s\n", folder.c_str());
        return 1;
    }
    const std::int64_t lines =
        bench::writeGeneratedLog(log.string(), mebibytes * kMiB, crawlerPercent);
    const auto logBytes = static_cast<double>(fsys::file_size(log, error));
    const auto chunks = writeChunks(log, folder / "temp");
    std::printf("log: %.1f MiB, %lld lines, %d %% crawlers, %zu chunks of 2 MiB in %s\n",
                logBytes / static_cast<double>(kMiB), static_cast<long long>(lines), crawlerPercent,
                chunks.size(), folder.c_str());

    bench::QuietPlatform platform;
    double scanSeconds = 0;
    double scanProcessor = 0;
    double crawlerItems = 0;
    std::string lineCount;
    {
        MainForm form(platform.ports(folder.string()));
        form.Form_Load();
        if (!form.VisitDb) {
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = processorSeconds(RUSAGE_SELF);
        // Outside a run each chunk ends its own lines; the few lines cut by a border count
        // twice, which changes nothing measurable.
        for (const auto& name : chunks) {
            if (form.ScanLogChunk(name) != RunStep::Done) {
                return 1;
            }
        }
        scanSeconds = bench::secondsSince(start);
        scanProcessor = processorSeconds(RUSAGE_SELF) - processorStart;
        for (const auto& engine : kCrawlerEngines) {
            crawlerItems += counterValue(form.*engine.counter);
        }
        lineCount = form.TxtLineCnt.Text();
        (void)form.Form_Unload();
    }
    const std::int64_t records = storedRecords(folder / "rezOve.mdb");
    const double scanRate = logBytes / 1e6 / scanSeconds;
    std::printf("scan: %.3f s (%.3f s processor), %.0f MB/s, %lld records stored (%.0f records/s), "
                "TxtLineCnt %s, crawler items %.0f\n",
                scanSeconds, scanProcessor, scanRate, static_cast<long long>(records),
                static_cast<double>(records) / scanSeconds, lineCount.c_str(), crawlerItems);

    // Best of three, so that grep is not charged for a cold cache. Its output goes to a file:
    // with /dev/null as output grep stops at the first match. Status 1 only means no match.
    const std::string grep = "grep -c -i -E '" + std::string(kGrepPattern) + "' '" + log.string() +
                             "' >'" + (folder / "grep.out").string() + "'; [ $? -le 1 ]";
    double grepSeconds = -1;
    double grepProcessor = -1;
    for (int round = 0; round < 3; ++round) {
        const double processorBefore = processorSeconds(RUSAGE_CHILDREN);
        const double seconds = bench::timeShellCommand(grep);
        const double processor = processorSeconds(RUSAGE_CHILDREN) - processorBefore;
        if (seconds >= 0 && (grepSeconds < 0 || seconds < grepSeconds)) {
            grepSeconds = seconds;
        }
        if (seconds >= 0 && (grepProcessor < 0 || processor < grepProcessor)) {
            grepProcessor = processor;
        }
    }
    if (grepSeconds > 0) {
        const double grepRate = logBytes / 1e6 / grepSeconds;
        std::ifstream counted(folder / "grep.out");
        long long matches = -1;
        counted >> matches;
        std::printf("grep -c -i -E: %.3f s (%.3f s processor), %.0f MB/s, %lld lines matched\n",
                    grepSeconds, grepProcessor, grepRate, matches);
        std::printf("scan speed / grep speed: %.2f by wall time, %.2f by processor time "
                    "(target at least 0.33)\n",
                    scanRate / grepRate, grepProcessor / scanProcessor);
    } else {
        std::printf("grep failed\n");
    }

    fsys::remove_all(folder, error);
    return records == static_cast<std::int64_t>(crawlerItems) ? 0 : 1;
}
