#include "report/Report.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>

#include <sqlite3.h>

#include "platform/AsciiCase.h"
#include "platform/SqliteHandles.h"

namespace trawlmeter::report {
namespace {

using Failure = tl::unexpected<std::string>;

// The columns the report reads; a table may have more.
constexpr std::array<std::string_view, 5> kReadColumns{"sdate", "stime", "csuristem", "cip",
                                                       "scstatus"};

std::string localIsoTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    const std::string_view zone(text, length); // ends in +0800, written as +08:00
    return zone.size() > 2 ? std::string(zone.substr(0, zone.size() - 2)) + ":" +
                                 std::string(zone.substr(zone.size() - 2))
                           : std::string(zone);
}

using RowSink = std::function<void(const sqlite::Statement&)>;

struct Query {
    std::string_view table;
    std::string sql;
    RowSink onRow;
};

// Each query sorts a table once, by date, hour, status, URL or client: SQLite has no hashing
// aggregate, so these five sorts are what a report costs. "{table}" and "{top}" are filled in.

// Within one date every "sdate stime" shares its prefix, so the first and last of a table are
// among the first and last time of each date.
constexpr std::string_view kDaysSql = R"(
SELECT v, n,
       coalesce(min(CASE WHEN v <> '' THEN v || ' ' || lo END) OVER (), ''),
       coalesce(max(CASE WHEN v <> '' THEN v || ' ' || hi END) OVER (), ''),
       count(nullif(v, '')) OVER (), sum(n) OVER ()
FROM (SELECT coalesce(sdate, '') AS v, count(*) AS n,
             min(coalesce(stime, '')) AS lo, max(coalesce(stime, '')) AS hi
      FROM {table} GROUP BY 1)
ORDER BY v)";

// Materialized so that SQLite filters the groups, not every record.
constexpr std::string_view kHoursSql = R"(
WITH h AS MATERIALIZED (SELECT substr(stime, 1, 2) AS v, count(*) AS n FROM {table} GROUP BY 1)
SELECT CAST(v AS INTEGER), n FROM h WHERE v GLOB '[01][0-9]' OR v GLOB '2[0-3]')";

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

// Rows (list, address, visits): list 0 holds the number of clients, 1 the most frequent.
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

constexpr std::size_t kQueryKinds = 5;

// The queries of a table, each filling figures of its own, roughly in rising cost.
std::array<Query, kQueryKinds> figureQueries(std::string_view table, EngineFigures& figures) {
    return {{{table, fill(kStatusesSql, table), intoList(figures.statuses)},
             {table, fill(kDaysSql, table),
              [&figures](const sqlite::Statement& row) {
                  figures.daily.push_back({std::string(row.columnText(0)), row.columnInt64(1)});
                  figures.first = row.columnText(2);
                  figures.last = row.columnText(3);
                  figures.days = row.columnInt64(4);
                  figures.visits = row.columnInt64(5);
              }},
             {table, fill(kHoursSql, table),
              [&figures](const sqlite::Statement& row) {
                  figures.hourly[static_cast<std::size_t>(row.columnInt64(0))] = row.columnInt64(1);
              }},
             {table, fill(kUrlsSql, table, kTopUrls),
              intoRanking(figures.urls, figures.topUrls, &figures.errorUrls)},
             {table, fill(kClientsSql, table, kTopClients),
              intoRanking(figures.clients, figures.topClients)}}};
}

std::string failure(const sqlite::Connection& connection, std::string_view table) {
    return "cannot read the table \"" + std::string(table) +
           "\": " + sqlite3_errmsg(connection.get());
}

tl::expected<void, std::string> checkColumns(const sqlite::Connection& connection,
                                             std::string_view table) {
    sqlite::Statement statement(connection, "SELECT name FROM pragma_table_info(?1)");
    if (!statement || !statement.bindText(1, table)) {
        return Failure(failure(connection, table));
    }
    std::vector<std::string> present;
    while (statement.stepRow()) {
        present.push_back(asciiLowered(statement.columnText(0)));
    }
    if (present.empty()) {
        return Failure("the visit database has no table \"" + std::string(table) + "\"");
    }
    std::string missing;
    for (const auto column : kReadColumns) {
        if (std::find(present.begin(), present.end(), column) == present.end()) {
            missing += (missing.empty() ? "" : ", ") + std::string(column);
        }
    }
    if (!missing.empty()) {
        return Failure("the table \"" + std::string(table) + "\" lacks the columns " + missing);
    }
    return {};
}

tl::expected<void, std::string> run(const sqlite::Connection& connection, const Query& query) {
    sqlite::Statement statement(connection, query.sql);
    if (!statement) {
        return Failure(failure(connection, query.table));
    }
    while (statement.stepRow()) {
        query.onRow(statement);
    }
    // Reset gives back the error of a step that neither produced a row nor finished.
    if (!statement.reset()) {
        return Failure(failure(connection, query.table));
    }
    return {};
}

tl::expected<sqlite::Connection, std::string> openForReading(const std::string& path) {
    sqlite3* handle = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite::Connection connection(handle);
    const auto failure = [&] {
        return Failure("cannot read the visit database " + path + ": " +
                       (handle ? sqlite3_errmsg(handle) : "out of memory"));
    };
    if (rc != SQLITE_OK) {
        return failure();
    }
    sqlite3_busy_timeout(handle, 5000);
    // Sorts spill to temporary files beyond 8 MiB instead of growing in memory. Each query reads
    // its table again: the first 32 MiB of the file are read in place from the system's file
    // cache instead of being copied, pages the system shares and takes back under pressure.
    if (!connection.execute("PRAGMA temp_store=FILE") ||
        !connection.execute("PRAGMA cache_size=-8192") ||
        !connection.execute("PRAGMA mmap_size=33554432") || !connection.execute("BEGIN") ||
        !connection.execute("SELECT count(*) FROM sqlite_master")) {
        return failure();
    }
    return connection;
}

// The figures of every table. Sorting is nearly all the work and every query sorts on its own, so
// the queries run side by side, one worker per processor, each through a connection of its own.
tl::expected<std::vector<EngineFigures>, std::string>
readFigures(const std::string& path, std::span<const ReportEngine> engines) {
    auto connection = openForReading(path);
    if (!connection) {
        return Failure(connection.error());
    }
    std::vector<EngineFigures> figures(engines.size());
    std::vector<std::array<Query, kQueryKinds>> queries;
    for (std::size_t e = 0; e < engines.size(); ++e) {
        if (auto checked = checkColumns(*connection, engines[e].table); !checked) {
            return Failure(checked.error());
        }
        figures[e].name = engines[e].name;
        figures[e].table = engines[e].table;
        queries.push_back(figureQueries(engines[e].table, figures[e]));
    }
    // Jobs table by table, the costliest query of a table first: while one worker sorts a table's
    // clients, another takes its lighter queries, and the last jobs to be handed out are short.
    std::vector<const Query*> jobs;
    for (const auto& table : queries) {
        for (std::size_t kind = kQueryKinds; kind-- > 0;) {
            jobs.push_back(&table[kind]);
        }
    }
    std::vector<std::string> failures(jobs.size());
    std::atomic<std::size_t> next = 0;
    const auto work = [&](const sqlite::Connection& reader) noexcept {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                auto done = run(reader, *jobs[i]);
                failures[i] = done ? "" : done.error();
            } catch (const std::exception& error) {
                failures[i] = std::string("cannot collect the report: ") + error.what();
            }
        }
    };
    // At most one worker per table: each holds a cache and a sort buffer of its own.
    const std::size_t workers =
        std::min<std::size_t>(std::max(std::thread::hardware_concurrency(), 1u), engines.size());
    std::vector<std::jthread> helpers;
    for (std::size_t i = 1; i < workers; ++i) {
        try {
            // A helper that cannot read leaves its share to the others.
            helpers.emplace_back([&]() noexcept {
                try {
                    if (const auto own = openForReading(path)) {
                        work(*own);
                    }
                } catch (const std::exception&) {
                }
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    work(*connection);
    helpers.clear(); // joins: every query has run before its figures are read
    for (const std::string& failure : failures) {
        if (!failure.empty()) {
            return Failure(failure);
        }
    }
    return figures;
}

} // namespace

tl::expected<Report, std::string> collectReport(const std::string& databasePath,
                                                std::span<const ReportEngine> engines) {
    try {
        Report report;
        report.database = databasePath;
        report.generated = localIsoTime(std::time(nullptr));
        auto figures = readFigures(databasePath, engines);
        if (!figures) {
            return Failure(figures.error());
        }
        report.engines = std::move(*figures);
        return report;
    } catch (const std::exception& error) {
        return Failure(std::string("cannot collect the report: ") + error.what());
    }
}

} // namespace trawlmeter::report
