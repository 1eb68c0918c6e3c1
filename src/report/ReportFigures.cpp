#include "report/Report.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>

#include <sqlite3.h>

#include "platform/AsciiCase.h"
#include "platform/LocalTime.h"
#include "platform/Problem.h"
#include "platform/SqliteHandles.h"
#include "report/VisitTally.h"

namespace trawlmeter::report {
namespace {

// The columns the report reads; a table may have more.
constexpr std::array<std::string_view, 5> kReadColumns{"sdate", "stime", "csuristem", "cip",
                                                       "scstatus"};

std::string localIsoTime(std::time_t time) {
    const std::tm local = localTime(time);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // The offset is written here: Windows' C library gives a zone's name for strftime's %z.
    const long offset = utcOffsetSeconds(time);
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(text, length) + zone;
}

using RowSink = std::function<void(const sqlite::Statement&)>;

struct Query {
    std::string_view table;
    std::string sql;
    RowSink onRow;
};

// A table is read once, through the tally below. The queries after it are what SQLite computes
// of a list the tally had to drop for memory: each sorts the table once, by date, status, URL or
// client, and spills to disk where it must. "{table}" and "{top}" are filled in.

constexpr std::string_view kTallySql =
    "SELECT visit_tally(sdate, stime, csuristem, cip, scstatus) FROM {table}";

// Within one date every "sdate stime" shares its prefix, so the first and last of a table are
// among the first and last time of each date.
constexpr std::string_view kDaysSql = R"(
SELECT v, n,
       coalesce(min(CASE WHEN v <> '' THEN v || ' ' || lo END) OVER (), ''),
       coalesce(max(CASE WHEN v <> '' THEN v || ' ' || hi END) OVER (), ''),
       count(nullif(v, '')) OVER ()
FROM (SELECT coalesce(sdate, '') AS v, count(*) AS n,
             min(coalesce(stime, '')) AS lo, max(coalesce(stime, '')) AS hi
      FROM {table} GROUP BY 1)
ORDER BY v)";

constexpr std::string_view kStatusesSql = R"(
SELECT coalesce(scstatus, ''), count(*) FROM {table} GROUP BY 1 ORDER BY 2 DESC, 1)";

// Rows (list, URL, visits): list 0 holds the number of URLs, 1 the most crawled, 2 those most
// often answered with an error. A status from '4' up to but not including '6' begins with 4 or 5.
constexpr std::string_view kUrlsSql = R"(
WITH g AS MATERIALIZED (
  SELECT coalesce(csuristem, '') AS v, count(*) AS n,
         count(*) FILTER (WHERE scstatus >= '4' AND scstatus < '6') AS e
  FROM {table} GROUP BY 1)
SELECT 0, NULL, count(*) FROM g
UNION ALL SELECT * FROM (SELECT 1, v, n FROM g ORDER BY n DESC, v LIMIT {top})
UNION ALL SELECT * FROM (SELECT 2, v, e FROM g WHERE e > 0 ORDER BY e DESC, v LIMIT {top})
ORDER BY 1, 3 DESC, 2)";

// Rows (list, address, visits): list 0 holds the number of clients, 1 those with most visits.
constexpr std::string_view kClientsSql = R"(
WITH g AS MATERIALIZED (SELECT coalesce(cip, '') AS v, count(*) AS n FROM {table} GROUP BY 1)
SELECT 0, NULL, count(*) FROM g
UNION ALL SELECT * FROM (SELECT 1, v, n FROM g ORDER BY n DESC, v LIMIT {top})
ORDER BY 1, 3 DESC, 2)";

std::string fill(std::string_view sql, std::string_view table, std::size_t top = 0) {
    std::string filled;
    for (std::size_t at = 0; at < sql.size();) {
        if (sql.substr(at).starts_with("{table}")) {
            filled += sqlite::quoteIdentifier(table);
            at += 7;
        } else if (sql.substr(at).starts_with("{top}")) {
            filled += std::to_string(top);
            at += 5;
        } else {
            filled += sql[at++];
        }
    }
    return filled;
}

RowSink intoList(std::vector<Count>& list) {
    return [&list](const sqlite::Statement& row) {
        list.push_back({std::string(row.columnText(0)), row.columnInt64(1)});
    };
}

// Rows (list, value, visits) of a ranking: list 0 the number of values, then the top lists.
RowSink intoRanking(long long& values, std::vector<Count>& top,
                    std::vector<Count>* errors = nullptr) {
    return [&values, &top, errors](const sqlite::Statement& row) {
        const long long list = row.columnInt64(0);
        if (list == 0) {
            values = row.columnInt64(2);
        } else {
            (list == 2 && errors ? *errors : top)
                .push_back({std::string(row.columnText(1)), row.columnInt64(2)});
        }
    };
}

// The query that computes a dropped list by sorting.
Query sortingQuery(std::string_view table, TalliedList list, EngineFigures& figures) {
    switch (list) {
    case TalliedList::Dates:
        return {table, fill(kDaysSql, table), [&figures](const sqlite::Statement& row) {
                    figures.daily.push_back({std::string(row.columnText(0)), row.columnInt64(1)});
                    figures.first = row.columnText(2);
                    figures.last = row.columnText(3);
                    figures.days = row.columnInt64(4);
                }};
    case TalliedList::Statuses:
        return {table, fill(kStatusesSql, table), intoList(figures.statuses)};
    case TalliedList::Urls:
        return {table, fill(kUrlsSql, table, kTopUrls),
                intoRanking(figures.urls, figures.topUrls, &figures.errorUrls)};
    case TalliedList::Clients:
        break;
    }
    return {table, fill(kClientsSql, table, kCheckedClients),
            intoRanking(figures.clients, figures.clientVisits)};
}

// Runs `sql`, its first parameter bound to `parameter` when there is one, and hands each row to
// `onRow`; a failure names the table.
Expected<void> forEachRow(const sqlite::Connection& connection, std::string_view table,
                          std::string_view sql, std::optional<std::string_view> parameter,
                          const RowSink& onRow) {
    auto statement = sqlite::Statement::prepare(connection, sql);
    if (!statement) {
        return failAbout(statement.error(), std::string(table));
    }
    if (parameter) {
        if (auto bound = statement->bindText(1, *parameter); !bound) {
            return failAbout(bound.error(), std::string(table));
        }
    }
    for (;;) {
        auto row = statement->step();
        if (!row) {
            return failAbout(row.error(), std::string(table));
        }
        if (!*row) {
            return {};
        }
        if (onRow) {
            onRow(*statement);
        }
    }
}

Expected<void> checkColumns(const sqlite::Connection& connection, std::string_view table) {
    std::vector<std::string> present;
    auto listed = forEachRow(connection, table, "SELECT name FROM pragma_table_info(?1)", table,
                             [&present](const sqlite::Statement& row) {
                                 present.push_back(asciiLowered(row.columnText(0)));
                             });
    if (!listed) {
        return listed;
    }
    if (present.empty()) {
        return fail(Problem::NoSuchTable, std::string(table));
    }
    std::string missing;
    for (const auto column : kReadColumns) {
        if (std::find(present.begin(), present.end(), column) == present.end()) {
            missing += (missing.empty() ? "" : ", ") + std::string(column);
        }
    }
    if (!missing.empty()) {
        return fail(Problem::MissingColumns, std::string(table), std::move(missing));
    }
    return {};
}

Expected<void> run(const sqlite::Connection& connection, const Query& query) {
    return forEachRow(connection, query.table, query.sql, std::nullopt, query.onRow);
}

// A read-only connection with the tally as an aggregate function: `visit_tally` feeds every row
// it sees to the tally that `tally` points to. A stop request interrupts its statements.
struct Reader {
    sqlite::Connection connection;
    VisitTally* tally = nullptr;
    std::stop_token stop;
};

// How many of SQLite's steps a statement takes between two looks at the stop request: some
// thousand a millisecond.
constexpr int kStepsBetweenStopChecks = 10000;

int interruptOnStop(void* reader) noexcept {
    return static_cast<const Reader*>(reader)->stop.stop_requested() ? 1 : 0;
}

std::string_view textOf(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(value)))
                : std::string_view();
}

void tallyStep(sqlite3_context* context, int, sqlite3_value** values) noexcept {
    VisitTally* tally = static_cast<Reader*>(sqlite3_user_data(context))->tally;
    if (!tally) {
        sqlite3_result_error(context, "visit_tally has no tally to count into", -1);
        return;
    }
    try {
        tally->add(textOf(values[0]), textOf(values[1]), textOf(values[2]), textOf(values[3]),
                   textOf(values[4]));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    }
}

void tallyFinal(sqlite3_context* context) noexcept {
    sqlite3_result_null(context);
}

using OpenedReader = Expected<std::unique_ptr<Reader>>;

// A tally reads each page once, so a small cache serves it; a sort keeps what it sorts in the
// cache up to its size.
constexpr const char* kTallyCache = "PRAGMA cache_size=-256";
constexpr const char* kSortCache = "PRAGMA cache_size=-8192";

OpenedReader openForReading(const std::string& path, const char* cacheSize, std::stop_token stop) {
    auto connection = sqlite::Connection::openExisting(path, sqlite::Connection::Access::ReadOnly);
    if (!connection) {
        return tl::unexpected(connection.error());
    }
    auto reader = std::make_unique<Reader>();
    reader->connection = std::move(*connection);
    reader->stop = std::move(stop);
    sqlite3* handle = reader->connection.get();
    sqlite3_busy_timeout(handle, 5000);
    if (reader->stop.stop_possible()) {
        sqlite3_progress_handler(handle, kStepsBetweenStopChecks, interruptOnStop, reader.get());
    }
    // Pages are read, not mapped: each is read about once, and mapping the file costs a page fault
    // per few pages in each connection, which on a virtual machine takes longer than the read.
    // Sorts spill to temporary files once they outgrow the cache instead of growing in memory.
    if (sqlite3_create_function_v2(handle, "visit_tally", 5, SQLITE_UTF8, reader.get(), nullptr,
                                   tallyStep, tallyFinal, nullptr) != SQLITE_OK) {
        return tl::unexpected(reader->connection.lastFailure(path));
    }
    for (const char* sql : {"PRAGMA temp_store=FILE", "PRAGMA mmap_size=0", cacheSize, "BEGIN",
                            "SELECT count(*) FROM sqlite_master"}) {
        if (auto done = reader->connection.execute(sql); !done) {
            return failAbout(done.error(), path);
        }
    }
    return reader;
}

using Job = std::function<Expected<void>(Reader&)>;

// Runs the jobs side by side, one worker per processor but no more than there are jobs, each
// worker through a connection of its own with the cache of that size; `reader` is the first
// worker's. The first failure, in the order of the jobs, is the result.
Expected<void> runJobs(const std::string& path, Reader& reader, const std::vector<Job>& jobs,
                       const char* cacheSize) {
    if (auto cache = reader.connection.execute(cacheSize); !cache) {
        return failAbout(cache.error(), path);
    }
    std::vector<Expected<void>> outcomes(jobs.size());
    std::atomic<std::size_t> next = 0;
    const auto work = [&](Reader& own) noexcept {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                outcomes[i] = jobs[i](own);
            } catch (const std::exception& error) {
                outcomes[i] = tl::unexpected(failureOf(error));
            }
        }
    };
    const std::size_t workers =
        std::min<std::size_t>(std::max(std::thread::hardware_concurrency(), 1u), jobs.size());
    std::vector<std::jthread> helpers;
    for (std::size_t i = 1; i < workers; ++i) {
        try {
            // A helper that cannot read leaves its share to the others.
            helpers.emplace_back([&]() noexcept {
                try {
                    if (const auto own = openForReading(path, cacheSize, reader.stop)) {
                        work(**own);
                    }
                } catch (const std::exception&) {
                }
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    work(reader);
    helpers.clear(); // joins: every job has run before its figures are read
    for (const auto& outcome : outcomes) {
        if (!outcome) {
            return outcome;
        }
    }
    return {};
}

// The figures of every table: one tally per table, side by side, then a sorting query for each
// list a tally dropped. A tally's memory is freed as soon as its figures are taken, so memory
// stays within one budget per worker.
Expected<std::vector<EngineFigures>> readFigures(const std::string& path,
                                                 std::span<const ReportEngine> engines,
                                                 std::size_t tallyBudget, std::stop_token stop) {
    auto reader = openForReading(path, kTallyCache, std::move(stop));
    if (!reader) {
        return tl::unexpected(reader.error());
    }
    std::vector<EngineFigures> figures(engines.size());
    std::vector<std::vector<TalliedList>> dropped(engines.size());
    std::vector<Job> tallies;
    for (std::size_t e = 0; e < engines.size(); ++e) {
        if (auto checked = checkColumns((*reader)->connection, engines[e].table); !checked) {
            return tl::unexpected(checked.error());
        }
        figures[e].name = engines[e].name;
        figures[e].table = engines[e].table;
        figures[e].note = engines[e].note;
        tallies.push_back([&, e](Reader& own) -> Expected<void> {
            VisitTally tally(tallyBudget);
            own.tally = &tally;
            auto done =
                run(own.connection, {engines[e].table, fill(kTallySql, engines[e].table), nullptr});
            own.tally = nullptr;
            if (done) {
                dropped[e] = tally.finish(figures[e]);
            }
            return done;
        });
    }
    if (auto done = runJobs(path, **reader, tallies, kTallyCache); !done) {
        return tl::unexpected(done.error());
    }
    // Costliest first, so that the last jobs handed out are short.
    std::vector<Job> sortJobs;
    for (const TalliedList list :
         {TalliedList::Clients, TalliedList::Urls, TalliedList::Dates, TalliedList::Statuses}) {
        for (std::size_t e = 0; e < engines.size(); ++e) {
            if (std::find(dropped[e].begin(), dropped[e].end(), list) != dropped[e].end()) {
                sortJobs.push_back([query = sortingQuery(engines[e].table, list, figures[e])](
                                       Reader& own) { return run(own.connection, query); });
            }
        }
    }
    if (sortJobs.empty()) {
        return figures;
    }
    if (auto done = runJobs(path, **reader, sortJobs, kSortCache); !done) {
        return tl::unexpected(done.error());
    }
    return figures;
}

// Rows (crawler, date, visits, earliest time, latest time) of the other crawlers' table, and
// rows (crawler, URL, visits) of each crawler's most crawled URLs. "{name}" is the crawler column.
constexpr std::string_view kOtherDaysSql = R"(
SELECT coalesce({name}, ''), coalesce(sdate, ''), count(*),
       min(coalesce(stime, '')), max(coalesce(stime, ''))
FROM {table} GROUP BY 1, 2 ORDER BY 1, 2)";

constexpr std::string_view kOtherUrlsSql = R"(
SELECT c, v, n FROM (
  SELECT coalesce({name}, '') AS c, coalesce(csuristem, '') AS v, count(*) AS n,
         row_number() OVER (PARTITION BY coalesce({name}, '')
                            ORDER BY count(*) DESC, coalesce(csuristem, '')) AS r
  FROM {table} GROUP BY 1, 2)
WHERE r <= {top} ORDER BY c, n DESC, v)";

std::string fillName(std::string_view sql, std::string_view column) {
    std::string filled(sql);
    for (std::size_t at = filled.find("{name}"); at != std::string::npos;
         at = filled.find("{name}", at)) {
        const std::string quoted = sqlite::quoteIdentifier(column);
        filled.replace(at, 6, quoted);
        at += quoted.size();
    }
    return filled;
}

// The other crawlers' figures, read by two grouping queries; nothing when the table is missing.
Expected<std::vector<OtherCrawlerFigures>> readOtherCrawlers(const std::string& path,
                                                             const OtherCrawlersSource& others,
                                                             std::stop_token stop) {
    std::vector<OtherCrawlerFigures> crawlers;
    auto reader = openForReading(path, kSortCache, std::move(stop));
    if (!reader) {
        return tl::unexpected(reader.error());
    }
    const sqlite::Connection& connection = (*reader)->connection;
    if (auto checked = checkColumns(connection, others.table); !checked) {
        if (checked.error().code == Problem::NoSuchTable) {
            return crawlers;
        }
        return tl::unexpected(checked.error());
    }
    bool named = false;
    if (auto listed = forEachRow(
            connection, others.table, "SELECT name FROM pragma_table_info(?1)", others.table,
            [&](const sqlite::Statement& row) {
                named = named || equalsIgnoringAsciiCase(row.columnText(0), others.nameColumn);
            });
        !listed) {
        return tl::unexpected(listed.error());
    } else if (!named) {
        return fail(Problem::MissingColumns, std::string(others.table),
                    std::string(others.nameColumn));
    }
    auto days = forEachRow(
        connection, others.table, fill(fillName(kOtherDaysSql, others.nameColumn), others.table),
        std::nullopt, [&crawlers](const sqlite::Statement& row) {
            const std::string_view name = row.columnText(0);
            if (crawlers.empty() || crawlers.back().name != name) {
                crawlers.push_back({std::string(name), {}, 0, {}, {}, {}, {}});
            }
            OtherCrawlerFigures& crawler = crawlers.back();
            const std::string_view date = row.columnText(1);
            crawler.visits += row.columnInt64(2);
            crawler.daily.push_back({std::string(date), row.columnInt64(2)});
            if (!date.empty()) {
                if (crawler.first.empty()) {
                    crawler.first = std::string(date) + " " + std::string(row.columnText(3));
                }
                crawler.last = std::string(date) + " " + std::string(row.columnText(4));
            }
        });
    if (!days) {
        return tl::unexpected(days.error());
    }
    // Both queries give the crawlers in name order.
    std::size_t at = 0;
    auto urls = forEachRow(
        connection, others.table,
        fill(fillName(kOtherUrlsSql, others.nameColumn), others.table, kOtherCrawlerTopUrls),
        std::nullopt, [&](const sqlite::Statement& row) {
            while (at < crawlers.size() && crawlers[at].name != row.columnText(0)) {
                ++at;
            }
            if (at < crawlers.size()) {
                crawlers[at].topUrls.push_back(
                    {std::string(row.columnText(1)), row.columnInt64(2)});
            }
        });
    if (!urls) {
        return tl::unexpected(urls.error());
    }
    for (OtherCrawlerFigures& crawler : crawlers) {
        crawler.category = others.categoryOf ? others.categoryOf(crawler.name) : "";
        if (crawler.category.empty()) {
            crawler.category = "other";
        }
    }
    std::stable_sort(crawlers.begin(), crawlers.end(),
                     [](const OtherCrawlerFigures& a, const OtherCrawlerFigures& b) {
                         return a.visits > b.visits;
                     });
    return crawlers;
}

} // namespace

Expected<Report> collectReport(const std::string& databasePath,
                               std::span<const ReportEngine> engines, std::size_t tallyBudget,
                               const OtherCrawlersSource& others, std::stop_token stop) {
    try {
        Report report;
        report.database = databasePath;
        report.generated = localIsoTime(std::time(nullptr));
        auto figures = readFigures(databasePath, engines, tallyBudget, stop);
        if (stop.stop_requested()) {
            // Whatever an interrupted statement said, the report was stopped.
            return fail(Problem::Stopped);
        }
        if (!figures) {
            return tl::unexpected(figures.error());
        }
        report.engines = std::move(*figures);
        if (!others.table.empty()) {
            auto crawlers = readOtherCrawlers(databasePath, others, stop);
            if (!crawlers) {
                return tl::unexpected(crawlers.error());
            }
            report.otherCrawlers = std::move(*crawlers);
        }
        return report;
    } catch (const std::exception& error) {
        return tl::unexpected(failureOf(error));
    }
}

} // namespace trawlmeter::report
