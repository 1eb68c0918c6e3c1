#include "store/FieldLayout.h"

#include "platform/AsciiCase.h"

#include <algorithm>

namespace trawlmeter::store {
namespace {

std::string_view columnOfField(std::string_view field) {
    for (std::size_t i = 0; i < kW3cFields.size(); ++i) {
        if (equalsIgnoringAsciiCase(kW3cFields[i], field)) {
            return kVisitColumns[i];
        }
    }
    return {};
}

} // namespace

FieldLayout FieldLayout::standard() {
    FieldLayout layout;
    layout.m_columns.assign(kVisitColumns.begin(), kVisitColumns.end());
    return layout;
}

FieldLayout FieldLayout::fromFieldNames(std::string_view names) {
    FieldLayout layout;
    while (!names.empty()) {
        const auto space = names.find(' ');
        const auto name = names.substr(0, space);
        if (!name.empty()) {
            layout.m_columns.push_back(columnOfField(name));
        }
        names = space == std::string_view::npos ? std::string_view() : names.substr(space + 1);
    }
    return layout;
}

} // namespace trawlmeter::store
