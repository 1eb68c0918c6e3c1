#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crawlers/CrawlerCatalogue.h"
#include "platform/Failure.h"

namespace trawlmeter::crawlers {

// Finds which crawler of a catalogue a user agent belongs to, all patterns at once (RE2::Set).
//
// When several crawlers' patterns match, one is picked in this order, so that the crawler
// rather than what it is built with gets the visit:
// 1. not an entry that another matching one is built on (the list's depends_on);
// 2. not a tool (an HTTP library, browser automation) when a crawler of its own matches;
// 3. the match that starts first, as a user agent names its products in decreasing order of
//    significance; of those starting at the same place the longest;
// 4. the earlier in the list.
//
// It remembers its answers for the last few thousand user agents it was given, as a site hears
// from the same clients again and again. Not for use by several threads at once.
class CrawlerMatcher {
public:
    // What the patterns may take: the compiled set and the states of its automaton, which it
    // builds as user agents need them and starts afresh when full, slower. The shipped list
    // takes under 1 MiB compiled; its states take about 0.6 MiB for today's common crawlers and
    // 11.5 MiB for all its own examples (bench/bench_crawler_match.sh).
    static constexpr std::int64_t kMemoryBudget = std::int64_t{16} << 20;

    // A pattern left out of the matcher: its crawler is never found.
    struct Refusal {
        // Its position in the catalogue.
        std::size_t crawler;
        std::string reason;
    };

    // A matcher over every crawler of `catalogue`. A pattern RE2 does not take (look-around,
    // back-references, bad syntax) or one that matches the empty text, and so every user agent,
    // is left out and listed by refused(). Fails when the patterns do not fit in `memoryBudget`.
    [[nodiscard]] static Expected<CrawlerMatcher> build(CrawlerCatalogue catalogue,
                                                        std::int64_t memoryBudget = kMemoryBudget);

    CrawlerMatcher(CrawlerMatcher&&) noexcept;
    CrawlerMatcher& operator=(CrawlerMatcher&&) noexcept;
    ~CrawlerMatcher();

    // The crawler whose pattern matches a user-agent field as IIS writes it, with "+" for each
    // space, or nullptr for none. Case counts, as in the list. Fails when RE2 could not complete
    // the search, which the budget is meant to rule out.
    [[nodiscard]] Expected<const Crawler*> match(std::string_view iisUserAgent);

    const CrawlerCatalogue& catalogue() const;
    const std::vector<Refusal>& refused() const;

private:
    struct Engine;
    explicit CrawlerMatcher(std::unique_ptr<Engine> engine);

    std::unique_ptr<Engine> m_engine;
};

} // namespace trawlmeter::crawlers
