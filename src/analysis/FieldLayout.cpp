#include "analysis/FieldLayout.h"

#include "platform/AsciiCase.h"

namespace trawlmeter::analysis {
namespace {

std::optional<std::uint8_t> positionOfField(std::string_view field) {
    for (std::size_t i = 0; i < kW3cFields.size(); ++i) {
        if (equalsIgnoringAsciiCase(kW3cFields[i], field)) {
            return static_cast<std::uint8_t>(i);
        }
    }
    return std::nullopt;
}

} // namespace

FieldLayout FieldLayout::standard() {
    FieldLayout layout;
    for (std::size_t i = 0; i < kW3cFields.size(); ++i) {
        layout.m_fields.push_back(static_cast<std::uint8_t>(i));
    }
    return layout;
}

FieldLayout FieldLayout::fromFieldNames(std::string_view names) {
    FieldLayout layout;
    while (!names.empty()) {
        const auto space = names.find(' ');
        const auto name = names.substr(0, space);
        if (!name.empty()) {
            layout.m_fields.push_back(positionOfField(name).value_or(kDropped));
        }
        names = space == std::string_view::npos ? std::string_view() : names.substr(space + 1);
    }
    return layout;
}

} // namespace trawlmeter::analysis
