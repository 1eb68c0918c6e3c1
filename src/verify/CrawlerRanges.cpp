#include "verify/CrawlerRanges.h"

#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/Problem.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <system_error>

namespace trawlmeter::verify {
namespace {

// Google's largest file is some 70 KiB; anything near this is no range file.
constexpr std::int64_t kLargestFile = std::int64_t{16} << 20;

tl::unexpected<Failure> malformed(std::string detail) {
    return fail(Problem::MalformedRangeFile, {}, std::move(detail));
}

} // namespace

Expected<std::vector<IpPrefix>> parseRangeFile(std::string_view text) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        return malformed(error.what());
    }
    if (!document.is_object()) {
        return malformed("not a JSON object");
    }
    const auto list = document.find("prefixes");
    if (list == document.end() || !list->is_array()) {
        return malformed("no \"prefixes\" list");
    }
    if (list->empty()) {
        return fail(Problem::RangeFileWithoutPrefixes);
    }
    std::vector<IpPrefix> prefixes;
    prefixes.reserve(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) {
        const auto& entry = (*list)[i];
        const std::string where = "prefixes[" + std::to_string(i) + "]";
        const bool object = entry.is_object();
        const auto v4 = object ? entry.find("ipv4Prefix") : entry.end();
        const auto v6 = object ? entry.find("ipv6Prefix") : entry.end();
        if (!object || (v4 == entry.end()) == (v6 == entry.end())) {
            return malformed(where + " has not one of \"ipv4Prefix\" and \"ipv6Prefix\"");
        }
        const auto& value = v4 != entry.end() ? *v4 : *v6;
        const auto family = v4 != entry.end() ? IpAddress::Family::V4 : IpAddress::Family::V6;
        const auto prefix =
            value.is_string() ? IpPrefix::parse(value.get_ref<const std::string&>()) : std::nullopt;
        if (!prefix || prefix->network.family != family) {
            return malformed(where + ": " + value.dump() + " is not an " +
                             (family == IpAddress::Family::V4 ? "IPv4" : "IPv6") + " prefix");
        }
        prefixes.push_back(*prefix);
    }
    return prefixes;
}

Expected<std::vector<IpPrefix>> readRangeFile(const std::string& path) {
    auto file = File::openRegularForReading(path);
    if (!file) {
        return tl::unexpected(std::move(file.error()));
    }
    auto size = file->size();
    if (!size) {
        return tl::unexpected(std::move(size.error()));
    }
    if (*size > kLargestFile) {
        return fail(std::make_error_code(std::errc::file_too_large), path);
    }
    std::string text(static_cast<std::size_t>(*size), '\0');
    auto read = file->readAt(text, 0);
    if (!read) {
        return tl::unexpected(std::move(read.error()));
    }
    text.resize(*read);
    auto prefixes = parseRangeFile(text);
    if (!prefixes) {
        return failAbout(std::move(prefixes.error()), path);
    }
    return prefixes;
}

Expected<CrawlerRanges> CrawlerRanges::load(const std::string& folder,
                                            std::span<const CrawlerIdentity> identities) {
    ByTable byTable;
    for (const auto& identity : identities) {
        for (const auto file : identity.rangeFiles) {
            auto prefixes = readRangeFile(joinPath(folder, file));
            if (!prefixes) {
                return tl::unexpected(std::move(prefixes.error()));
            }
            auto& ranges = byTable[std::string(identity.table)];
            ranges.insert(ranges.end(), prefixes->begin(), prefixes->end());
        }
    }
    return CrawlerRanges(std::move(byTable));
}

bool CrawlerRanges::contains(std::string_view table, const IpAddress& address) const {
    const auto found = m_byTable.find(table);
    if (found == m_byTable.end()) {
        return false;
    }
    for (const auto& prefix : found->second) {
        if (prefix.contains(address)) {
            return true;
        }
    }
    return false;
}

} // namespace trawlmeter::verify
