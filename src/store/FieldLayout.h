#pragma once

#include "store/VisitTables.h"

#include <array>
#include <string_view>
#include <vector>

namespace trawlmeter::store {

// The log field each column receives, by position.
inline constexpr std::array<std::string_view, 14> kW3cFields{
    "date",           "time",         "s-sitename",   "s-ip",           "cs-method",
    "cs-uri-stem",    "cs-uri-query", "s-port",       "cs-username",    "c-ip",
    "cs(User-Agent)", "sc-status",    "sc-substatus", "sc-win32-status"};

// Which column each space-separated piece of a log line goes to, as a "#Fields:" line sets it.
class FieldLayout {
public:
    // The fourteen-field layout: piece n goes to column n.
    static FieldLayout standard();
    // From the text after "#Fields:": names split at spaces, empty names ignored, compared
    // without regard to case. Fields with no column are dropped.
    static FieldLayout fromFieldNames(std::string_view names);

    // The column for piece `piece`, or "" when that piece is dropped.
    std::string_view columnForPiece(std::size_t piece) const {
        return piece < m_columns.size() ? m_columns[piece] : std::string_view();
    }
    std::size_t pieceCount() const { return m_columns.size(); }

private:
    std::vector<std::string_view> m_columns;
};

} // namespace trawlmeter::store
