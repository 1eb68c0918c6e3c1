#pragma once

#include "platform/Failure.h"
#include "verify/CrawlerVerifier.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// The crawler report of a visit database: figures per engine, counted in one SQLite query per
// table, written as a self-contained HTML page or as JSON. Nothing here throws; failures come back
// as values.
namespace trawlmeter::report {

// An engine as the report names it, the table of the visit database that holds its records,
// and what proves its crawlers' addresses (the domains and range files of its identity).
struct ReportEngine {
    std::string_view name;
    std::string_view table;
    std::span<const std::string_view> domains;
    std::span<const std::string_view> rangeFiles;
    // Said under the engine's section, where there is one.
    std::string_view note = {};
};

// A field value and the number of records that hold it.
struct Count {
    std::string value;
    long long visits = 0;
    bool operator==(const Count&) const = default;
};

inline constexpr std::size_t kTopUrls = 20;
inline constexpr std::size_t kTopClients = 10;
// The addresses of an engine whose crawlers are verified, those with most visits first: the
// DNS could not answer for many more within its time, and their verdicts take memory. The
// visits of the others count as unknown.
inline constexpr std::size_t kCheckedClients = 50'000;

// An address whose visits are not its engine's crawler's, as the DNS said.
struct Impostor {
    std::string client;
    long long visits = 0;
    // The host name its address gave, as the DNS spelt it; "" when it gave none.
    std::string host;
    bool operator==(const Impostor&) const = default;
};

// The visits of one engine by the verdict on their address.
struct EngineVerification {
    long long verified = 0;
    long long impostor = 0;
    long long unknown = 0;
    // Most visits first, then by address.
    std::vector<Impostor> impostors;
    // Addresses past kCheckedClients, whose visits are among the unknown.
    long long uncheckedClients = 0;
};

// How the verification of a report went, beside its verdicts.
struct VerificationSummary {
    std::size_t dnsQuestions = 0;
    // Questions were asked and no DNS server answered any.
    bool dnsUnavailable = false;
    bool timeRanOut = false;
    // The verdicts stand, but those kept before could not be read or these not be kept.
    std::optional<Failure> verdictsNotKept;
};

// The figures of one engine's table. Empty and NULL fields count as "". Texts are as stored and
// may hold invalid UTF-8; the renderers make them valid.
struct EngineFigures {
    std::string name;
    std::string table;
    std::string note;
    long long visits = 0;
    // Smallest and largest "sdate stime" of the records with a date; "" when there is none
    // (null in the JSON).
    std::string first;
    std::string last;
    long long days = 0; // distinct non-empty dates
    long long urls = 0;
    long long clients = 0;
    std::vector<Count> daily;           // ascending by date, records without one under ""
    std::array<long long, 24> hourly{}; // by the hour that begins stime; other times left out
    std::vector<Count> statuses;        // every status, most visits first, then by status
    std::vector<Count> topUrls;         // at most kTopUrls, most visits first, then by URL
    std::vector<Count> errorUrls;       // the same over answers with a 4xx or 5xx status
    // At most kCheckedClients, most visits first, then by address; the first kTopClients are
    // the report's top clients.
    std::vector<Count> clientVisits;
    // Filled by verifyReport().
    EngineVerification verification;
};

inline constexpr std::size_t kOtherCrawlerTopUrls = 5;

// The table of the other known crawlers' visits (the visit columns and the crawler's name), and
// the category of a crawler by its name: the list's tag ("ai-crawler", "search-engine", ...).
struct OtherCrawlersSource {
    std::string_view table;
    std::string_view nameColumn;
    std::function<std::string(std::string_view name)> categoryOf;
};

// One crawler of the other crawlers' table.
struct OtherCrawlerFigures {
    std::string name;
    std::string category;
    long long visits = 0;
    // As for an engine: "" when none of its records has a date.
    std::string first;
    std::string last;
    std::vector<Count> daily;   // ascending by date, records without one under ""
    std::vector<Count> topUrls; // at most kOtherCrawlerTopUrls, most visits first, then by URL
};

// The categories the report sets apart.
inline constexpr std::string_view kAiCrawlerCategory = "ai-crawler";
inline constexpr std::string_view kSearchEngineCategory = "search-engine";

struct Report {
    std::string database;
    std::string generated; // local time with its offset, e.g. 2024-05-01T13:45:12+08:00
    std::vector<EngineFigures> engines; // in the order they were asked for
    // Most visits first, then by name; none where the database has no such table (yet).
    std::vector<OtherCrawlerFigures> otherCrawlers;
    // Nothing until verifyReport() has verified the clients; the renderers show the verdicts
    // only then.
    std::optional<VerificationSummary> verification;
};

enum class ReportFormat { Html, Json };

// The format a report file's name asks for: ".html" or ".json" at its end (ASCII case ignored);
// nothing for any other name.
[[nodiscard]] std::optional<ReportFormat> reportFormatFor(std::string_view outputPath);

// What the counts of one table may take in memory before their largest list is left to SQLite's
// sorts, which spill to disk: some 150,000 to 200,000 distinct clients or URLs. One table is
// counted per processor at a time.
inline constexpr std::size_t kTallyBudget = std::size_t{16} << 20;

// Reads the figures of each engine's table through read-only connections, one per processor,
// in one pass per table, with memory bounded whatever the number of records; records that a run
// appends meanwhile may show in some figures and not yet in others. Fails when the database
// cannot be read (SQLite's reason, about the database's path), or a table cannot be read
// (SQLite's reason, about the table), is missing (Problem::NoSuchTable) or lacks columns the
// report reads (Problem::MissingColumns, the detail listing them), and with Problem::Stopped
// soon after `stop` is requested. With `others`, also the figures of every crawler of that
// table, when the database has it (lacking columns the report reads, it fails as an engine's
// table does).
[[nodiscard]] Expected<Report> collectReport(const std::string& databasePath,
                                             std::span<const ReportEngine> engines,
                                             std::size_t tallyBudget = kTallyBudget,
                                             const OtherCrawlersSource& others = {},
                                             std::stop_token stop = {});

// Where the crawlers' published ranges lie and how the DNS is asked.
struct ReportVerificationSettings {
    std::string rangeFolder;
    verify::VerificationSettings verification;
};

// Called from the thread that verifies, at most every 100 ms while the DNS is asked: how many
// of the addresses are decided.
using VerifyProgress = std::function<void(std::size_t decided, std::size_t total)>;

// Verifies the clients of each engine of the report (`engines` as the report was collected
// with) and fills in the visits of each verdict, the impostors and the summary; verdicts the DNS
// gave are kept in the report's database for the next report. Fails as
// verify::verifyCrawlers does (a range file missing, unreadable, malformed or empty; no
// resolver), and with Problem::Stopped soon after `stop` is requested.
[[nodiscard]] Expected<void> verifyReport(Report& report, std::span<const ReportEngine> engines,
                                          const ReportVerificationSettings& settings,
                                          const VerifyProgress& progress = {},
                                          std::stop_token stop = {});

// The figures as a JSON document in valid UTF-8 (invalid bytes become U+FFFD).
[[nodiscard]] std::string renderJson(const Report& report);

// The figures as one HTML page that needs nothing else: inline style and SVG charts, no script.
[[nodiscard]] std::string renderHtml(const Report& report);

// Writes the report in the format its name asks for. The file is written under a hidden name
// in the same folder and then renamed over `outputPath`, so a failed or interrupted write leaves
// no half report. Fails on any other name (Problem::NoReportFormat), or with the system's reason
// about `outputPath` when the file cannot be written.
[[nodiscard]] Expected<void> saveReport(const Report& report, const std::string& outputPath);

} // namespace trawlmeter::report
