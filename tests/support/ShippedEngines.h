#pragma once

#include "app/CrawlerEngines.h"
#include "verify/CrawlerIdentity.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The engines as the program ships them, for tests below the window model that take them as
// arguments: the test program links the window model's library for its table.
namespace trawlmeter::testing {

inline verify::CrawlerIdentity identityOf(std::string_view table) {
    for (const CrawlerEngine& engine : kCrawlerEngines) {
        if (engine.table == table) {
            return {engine.table, engine.domains, engine.rangeFiles};
        }
    }
    throw std::invalid_argument("no engine's table: " + std::string(table));
}

inline std::vector<verify::CrawlerIdentity> shippedIdentities() {
    std::vector<verify::CrawlerIdentity> identities;
    for (const CrawlerEngine& engine : kCrawlerEngines) {
        identities.push_back(identityOf(engine.table));
    }
    return identities;
}

} // namespace trawlmeter::testing
