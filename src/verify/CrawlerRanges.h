#pragma once

#include "platform/Failure.h"
#include "platform/IpAddress.h"
#include "verify/CrawlerIdentity.h"
#include "verify/IpPrefix.h"

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::verify {

// The prefixes of a published range file: a JSON object whose "prefixes" list holds objects
// with an "ipv4Prefix" or an "ipv6Prefix". Fails with Problem::MalformedRangeFile
// (the detail says where) for any other text, and with RangeFileWithoutPrefixes for an empty
// list, as the stubs left at retired addresses are.
[[nodiscard]] Expected<std::vector<IpPrefix>> parseRangeFile(std::string_view text);

// The same from a file; every failure is about its path (a missing or unreadable file with the
// system's reason).
[[nodiscard]] Expected<std::vector<IpPrefix>> readRangeFile(const std::string& path);

// The address ranges each engine publishes for its crawlers, by the engine's table.
class CrawlerRanges {
public:
    using ByTable = std::map<std::string, std::vector<IpPrefix>, std::less<>>;

    CrawlerRanges() = default;
    explicit CrawlerRanges(ByTable byTable) : m_byTable(std::move(byTable)) {}

    // Reads every range file the identities name from `folder`; the first file that cannot be
    // read or is refused fails the whole.
    [[nodiscard]] static Expected<CrawlerRanges> load(const std::string& folder,
                                                      std::span<const CrawlerIdentity> identities);

    // True when `address` lies in a range published for the engine of `table`.
    bool contains(std::string_view table, const IpAddress& address) const;

private:
    ByTable m_byTable;
};

} // namespace trawlmeter::verify
