#include "report/Report.h"

#include "platform/SqliteHandles.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <exception>
#include <functional>

namespace trawlmeter::report {
namespace {

using Failure = tl::unexpected<std::string>;

// The columns the report reads; a table may have more.
constexpr std::array<std::string_view, 5> kReadColumns{"sdate", "stime", "csuristem", "cip",
                                                       "scstatus"};

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string localIsoTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso(text, length);
    if (iso.size() > 2) {
        iso.insert(iso.size() - 2, ":"); // +0800 -> +08:00
    }
    return iso;
}

using RowSink = std::function<void(const sqlite::Statement&)>;

struct Query {
    std::string sql;
    RowSink onRow;
};

// A sink that appends (value, visits) rows to a list.
RowSink into(std::vector<Count>& list) {
    return [&list](const sqlite::Statement& row) {
        list.push_back({std::string(row.columnText(0)), row.columnInt64(1)});
    };
}

// The queries of one engine's table, each a single pass that SQLite groups and sorts itself.
std::vector<Query> figureQueries(std::string_view table, EngineFigures& figures) {
    const std::string from = " FROM " + sqlite::quoteIdentifier(table);
    const std::string stamp = "CASE WHEN sdate <> '' THEN sdate || ' ' || coalesce(stime, '') END";
    const std::string mostFirst = " GROUP BY 1 ORDER BY count(*) DESC, 1";
    const auto limit = [](std::size_t rows) { return " LIMIT " + std::to_string(rows); };
    std::vector<Query> queries;
    queries.push_back({"SELECT count(*), coalesce(min(" + stamp + "), ''), coalesce(max(" + stamp +
                           "), ''), count(DISTINCT nullif(sdate, '')), "
                           "count(DISTINCT coalesce(csuristem, '')), "
                           "count(DISTINCT coalesce(cip, ''))" +
                           from,
                       [&figures](const sqlite::Statement& row) {
                           figures.visits = row.columnInt64(0);
                           figures.first = row.columnText(1);
                           figures.last = row.columnText(2);
                           figures.days = row.columnInt64(3);
                           figures.urls = row.columnInt64(4);
                           figures.clients = row.columnInt64(5);
                       }});
    queries.push_back({"SELECT coalesce(sdate, ''), count(*)" + from + " GROUP BY 1 ORDER BY 1",
                       into(figures.daily)});
    // Only times that begin with an hour 00..23 count; the pattern makes the cast safe.
    queries.push_back({"SELECT CAST(substr(stime, 1, 2) AS INTEGER), count(*)" + from +
                           " WHERE stime GLOB '[01][0-9]*' OR stime GLOB '2[0-3]*' GROUP BY 1",
                       [&figures](const sqlite::Statement& row) {
                           figures.hourly[static_cast<std::size_t>(row.columnInt64(0))] =
                               row.columnInt64(1);
                       }});
    queries.push_back(
        {"SELECT coalesce(scstatus, ''), count(*)" + from + mostFirst, into(figures.statuses)});
    queries.push_back(
        {"SELECT coalesce(csuristem, ''), count(*)" + from + mostFirst + limit(kTopUrls),
         into(figures.topUrls)});
    queries.push_back({"SELECT coalesce(csuristem, ''), count(*)" + from +
                           " WHERE scstatus GLOB '[45]*'" + mostFirst + limit(kTopUrls),
                       into(figures.errorUrls)});
    queries.push_back({"SELECT coalesce(cip, ''), count(*)" + from + mostFirst + limit(kTopClients),
                       into(figures.topClients)});
    return queries;
}

// Reads the figures of tables over one open connection; every failure names table and reason.
class FigureReader {
public:
    explicit FigureReader(const sqlite::Connection& connection) : m_connection(connection) {}

    tl::expected<EngineFigures, std::string> read(const ReportEngine& engine) const {
        if (auto checked = checkColumns(engine.table); !checked) {
            return Failure(checked.error());
        }
        EngineFigures figures;
        figures.name = engine.name;
        figures.table = engine.table;
        for (const Query& query : figureQueries(engine.table, figures)) {
            sqlite::Statement statement(m_connection, query.sql);
            if (!statement) {
                return Failure(failure(engine.table));
            }
            while (statement.stepRow()) {
                query.onRow(statement);
            }
            // Reset gives back the error of a step that neither produced a row nor finished.
            if (!statement.reset()) {
                return Failure(failure(engine.table));
            }
        }
        return figures;
    }

private:
    std::string failure(std::string_view table) const {
        return "cannot read the table \"" + std::string(table) +
               "\": " + sqlite3_errmsg(m_connection.get());
    }

    tl::expected<void, std::string> checkColumns(std::string_view table) const {
        sqlite::Statement statement(m_connection, "SELECT name FROM pragma_table_info(?1)");
        if (!statement || !statement.bindText(1, table)) {
            return Failure(failure(table));
        }
        std::vector<std::string> present;
        while (statement.stepRow()) {
            present.push_back(asciiLower(statement.columnText(0)));
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

    const sqlite::Connection& m_connection;
};

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
    // Sorts and distinct counts spill to temporary files instead of growing in memory.
    if (!connection.execute("PRAGMA temp_store=FILE") ||
        !connection.execute("PRAGMA cache_size=-8192") || !connection.execute("BEGIN") ||
        !connection.execute("SELECT count(*) FROM sqlite_master")) {
        return failure();
    }
    return connection;
}

} // namespace

tl::expected<Report, std::string> collectReport(const std::string& databasePath,
                                                std::span<const ReportEngine> engines) {
    try {
        Report report;
        report.database = databasePath;
        report.generated = localIsoTime(std::time(nullptr));
        // One read transaction: the figures of every table come from the same moment even while
        // an analysis run appends records.
        auto connection = openForReading(databasePath);
        if (!connection) {
            return Failure(connection.error());
        }
        FigureReader reader(*connection);
        for (const ReportEngine& engine : engines) {
            auto figures = reader.read(engine);
            if (!figures) {
                return Failure(figures.error());
            }
            report.engines.push_back(std::move(*figures));
        }
        return report;
    } catch (const std::exception& error) {
        return Failure(std::string("cannot collect the report: ") + error.what());
    }
}

} // namespace trawlmeter::report
