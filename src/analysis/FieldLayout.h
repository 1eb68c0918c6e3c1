#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trawlmeter::analysis {

// The fourteen fields of the standard log layout, in its order.
inline constexpr std::array<std::string_view, 14> kW3cFields{
    "date",           "time",         "s-sitename",   "s-ip",           "cs-method",
    "cs-uri-stem",    "cs-uri-query", "s-port",       "cs-username",    "c-ip",
    "cs(User-Agent)", "sc-status",    "sc-substatus", "sc-win32-status"};

// Which of the fourteen fields each space-separated piece of a log line holds, as a "#Fields:"
// line sets it.
class FieldLayout {
public:
    // The fourteen-field layout: piece n holds field n.
    static FieldLayout standard();
    // From the text after "#Fields:": names split at spaces, empty names ignored, compared
    // without regard to case. Fields that are not among the fourteen are dropped.
    static FieldLayout fromFieldNames(std::string_view names);

    // The position in kW3cFields of the field piece `piece` holds; nothing when that piece is
    // dropped.
    std::optional<std::size_t> fieldOfPiece(std::size_t piece) const {
        if (piece >= m_fields.size() || m_fields[piece] == kDropped) {
            return std::nullopt;
        }
        return m_fields[piece];
    }
    std::size_t pieceCount() const { return m_fields.size(); }
    // The piece that holds field `field` (a position in kW3cFields); nothing when no piece does.
    std::optional<std::size_t> pieceOfField(std::size_t field) const {
        for (std::size_t piece = 0; piece < m_fields.size(); ++piece) {
            if (m_fields[piece] == field) {
                return piece;
            }
        }
        return std::nullopt;
    }

private:
    static constexpr std::uint8_t kDropped = 0xff;
    std::vector<std::uint8_t> m_fields;
};

} // namespace trawlmeter::analysis
