#pragma once

#include "platform/Failure.h"
#include "platform/SqliteHandles.h"
#include "verify/Verdict.h"

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trawlmeter::verify {

// The table of the visit database that keeps verdicts: one row per client address and engine.
inline constexpr std::string_view kVerdictTable = "verdicts";

struct KeptVerdict {
    std::string client;
    Verdict verdict = Verdict::Unknown;
    // "" is kept as NULL.
    std::string host;
};

struct CachedVerdict {
    Verdict verdict = Verdict::Unknown;
    std::string host;
    // When it was decided: UTC, as 2024-05-01T13:45:12Z.
    std::string date;
};

// Verdicts kept in the visit database between reports, so that a later report asks the DNS
// only about addresses without one.
class VerdictCache {
public:
    // Opens the visit database at `databasePath` for reading and writing and makes the verdict
    // table when it is missing; no other table is touched. Fails with SQLite's reason when the
    // file is missing, is no database or cannot be written, and with
    // Problem::UnusableVerdictTable, naming the column, when a table of that name
    // lacks one of the columns.
    [[nodiscard]] static Expected<VerdictCache> open(const std::string& databasePath);

    // The verdicts kept for the engine of `table`, by client address; rows whose verdict is
    // no verdict's name are left out.
    [[nodiscard]] Expected<std::unordered_map<std::string, CachedVerdict>>
    load(std::string_view table);

    // Keeps these verdicts of the engine of `table`, dated now, in place of any kept before for
    // the same addresses: all of them or, on a failure, none.
    [[nodiscard]] Expected<void> store(std::string_view table,
                                       std::span<const KeptVerdict> verdicts);

private:
    VerdictCache(sqlite::Connection connection, std::string path)
        : m_connection(std::move(connection)), m_path(std::move(path)) {}

    sqlite::Connection m_connection;
    std::string m_path;
};

} // namespace trawlmeter::verify
