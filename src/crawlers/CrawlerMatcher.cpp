#include "crawlers/CrawlerMatcher.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <system_error>
#include <utility>

#include <re2/re2.h>
#include <re2/set.h>

#include "crawlers/PatternPieces.h"

namespace trawlmeter::crawlers {
namespace {

constexpr std::string_view kSubject = "crawler patterns";

// Enough for any single pattern of the list; a search that outgrows it falls back to a slower
// one inside RE2 and still answers.
constexpr std::int64_t kLocatorBudget = std::int64_t{256} << 10;

RE2::Options optionsWithBudget(std::int64_t budget) {
    RE2::Options options;
    options.set_max_mem(budget);
    // Refusals are reported as values, not on standard error.
    options.set_log_errors(false);
    return options;
}

// Where a crawler's pattern matches, for the pick among several: its plain text where it is
// one, else the pattern compiled on its own.
struct Locator {
    std::string literal;
    std::unique_ptr<RE2> regex;
};

struct Span {
    std::size_t start;
    std::size_t size;
};

struct AgentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view agent) const {
        return std::hash<std::string_view>{}(agent);
    }
};

// How many answers are remembered before they are forgotten all at once; about 1 MiB.
constexpr std::size_t kRememberedAgents = 4096;

} // namespace

struct CrawlerMatcher::Engine {
    CrawlerCatalogue catalogue;
    std::vector<Refusal> refused;
    std::unique_ptr<RE2::Set> set;
    // The crawler of each pattern of the set.
    std::vector<std::size_t> crawlerOf;
    // By crawler; refused crawlers have none.
    std::vector<Locator> locators;
    // Scratch of match(), kept so that a match allocates nothing in the common case.
    std::string text;
    std::vector<int> hits;
    // The last field matched and its crawler: a log's lines come in runs from one client.
    std::string lastAgent;
    const Crawler* lastCrawler = nullptr;
    bool hasLast = false;
    // The answers for the fields seen lately: a site's visitors send a few thousand user agents
    // over and over, and a look-up costs a fraction of a search.
    std::unordered_map<std::string, const Crawler*, AgentHash, std::equal_to<>> seen;

    const Crawler* pick();
    Span spanOf(std::size_t crawler) const;
};

Expected<CrawlerMatcher> CrawlerMatcher::build(CrawlerCatalogue catalogue,
                                               std::int64_t memoryBudget) {
    auto engine = std::make_unique<Engine>();
    engine->catalogue = std::move(catalogue);
    const std::vector<Crawler>& crawlers = engine->catalogue.crawlers();
    std::vector<std::string> patterns;
    patterns.reserve(crawlers.size());
    for (const Crawler& crawler : crawlers) {
        patterns.push_back(acceptSpaceForPlus(crawler.pattern));
    }
    const RE2::Options options = optionsWithBudget(memoryBudget);
    std::vector<bool> leftOut(crawlers.size(), false);
    const auto refuse = [&](std::size_t crawler, std::string reason) {
        engine->refused.push_back({crawler, std::move(reason)});
        leftOut[crawler] = true;
    };
    // A second round only when the first found patterns that match the empty text.
    for (;;) {
        auto set = std::make_unique<RE2::Set>(options, RE2::UNANCHORED);
        std::vector<std::size_t> crawlerOf;
        for (std::size_t i = 0; i < crawlers.size(); ++i) {
            if (leftOut[i]) {
                continue;
            }
            std::string error;
            if (patterns[i].empty()) {
                refuse(i, "an empty pattern matches every user agent");
            } else if (set->Add(patterns[i], &error) < 0) {
                refuse(i, error);
            } else {
                crawlerOf.push_back(i);
            }
        }
        if (!set->Compile()) {
            return fail(std::make_error_code(std::errc::not_enough_memory), std::string(kSubject),
                        "they do not fit in " + std::to_string(memoryBudget >> 10) + " KiB");
        }
        std::vector<int> matchingAnything;
        RE2::Set::ErrorInfo error{};
        if (set->Match("", &matchingAnything, &error)) {
            for (const int entry : matchingAnything) {
                refuse(crawlerOf[static_cast<std::size_t>(entry)],
                       "matches the empty text, and so every user agent");
            }
            continue;
        }
        if (error.kind != RE2::Set::kNoError) {
            return fail(std::make_error_code(std::errc::not_enough_memory), std::string(kSubject),
                        "RE2 could not search with them");
        }
        engine->set = std::move(set);
        engine->crawlerOf = std::move(crawlerOf);
        break;
    }
    std::sort(engine->refused.begin(), engine->refused.end(),
              [](const Refusal& a, const Refusal& b) { return a.crawler < b.crawler; });
    engine->locators.resize(crawlers.size());
    const RE2::Options locatorOptions = optionsWithBudget(kLocatorBudget);
    for (const std::size_t crawler : engine->crawlerOf) {
        Locator& locator = engine->locators[crawler];
        if (auto literal = literalOf(patterns[crawler])) {
            locator.literal = std::move(*literal);
        } else {
            locator.regex = std::make_unique<RE2>(patterns[crawler], locatorOptions);
        }
    }
    return CrawlerMatcher(std::move(engine));
}

CrawlerMatcher::CrawlerMatcher(std::unique_ptr<Engine> engine) : m_engine(std::move(engine)) {}
CrawlerMatcher::CrawlerMatcher(CrawlerMatcher&&) noexcept = default;
CrawlerMatcher& CrawlerMatcher::operator=(CrawlerMatcher&&) noexcept = default;
CrawlerMatcher::~CrawlerMatcher() = default;

const CrawlerCatalogue& CrawlerMatcher::catalogue() const {
    return m_engine->catalogue;
}

const std::vector<CrawlerMatcher::Refusal>& CrawlerMatcher::refused() const {
    return m_engine->refused;
}

Expected<const Crawler*> CrawlerMatcher::match(std::string_view iisUserAgent) {
    Engine& engine = *m_engine;
    if (engine.hasLast && iisUserAgent == engine.lastAgent) {
        return engine.lastCrawler;
    }
    if (const auto seen = engine.seen.find(iisUserAgent); seen != engine.seen.end()) {
        engine.lastAgent.assign(iisUserAgent);
        engine.lastCrawler = seen->second;
        engine.hasLast = true;
        return seen->second;
    }
    // The list's patterns and examples have spaces where IIS writes "+".
    engine.text.assign(iisUserAgent);
    std::replace(engine.text.begin(), engine.text.end(), '+', ' ');
    RE2::Set::ErrorInfo error{};
    const Crawler* crawler = nullptr;
    if (engine.set->Match(engine.text, &engine.hits, &error)) {
        crawler = engine.pick();
    } else if (error.kind != RE2::Set::kNoError) {
        engine.hasLast = false;
        return fail(std::make_error_code(std::errc::not_enough_memory), std::string(kSubject),
                    "RE2 could not complete a search");
    }
    engine.lastAgent.assign(iisUserAgent);
    engine.lastCrawler = crawler;
    engine.hasLast = true;
    if (engine.seen.size() >= kRememberedAgents) {
        engine.seen.clear();
    }
    engine.seen.emplace(engine.lastAgent, crawler);
    return crawler;
}

const Crawler* CrawlerMatcher::Engine::pick() {
    const std::vector<Crawler>& crawlers = catalogue.crawlers();
    std::vector<std::size_t> candidates;
    candidates.reserve(hits.size());
    for (const int hit : hits) {
        candidates.push_back(crawlerOf[static_cast<std::size_t>(hit)]);
    }
    if (candidates.size() == 1) {
        return &crawlers[candidates.front()];
    }
    std::sort(candidates.begin(), candidates.end());
    // Narrows the candidates to those that pass, unless none does.
    const auto keepOnly = [&candidates](auto passes) {
        std::vector<std::size_t> kept;
        std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(kept), passes);
        if (!kept.empty()) {
            candidates = std::move(kept);
        }
    };
    keepOnly([&](std::size_t candidate) {
        return std::none_of(candidates.begin(), candidates.end(), [&](std::size_t other) {
            const auto& bases = crawlers[other].buildsOn;
            return std::find(bases.begin(), bases.end(), candidate) != bases.end();
        });
    });
    keepOnly([&](std::size_t candidate) { return !isTool(crawlers[candidate].category); });
    std::size_t best = candidates.front();
    Span bestSpan = spanOf(best);
    for (auto it = candidates.begin() + 1; it != candidates.end(); ++it) {
        const Span span = spanOf(*it);
        if (span.start < bestSpan.start ||
            (span.start == bestSpan.start && span.size > bestSpan.size)) {
            best = *it;
            bestSpan = span;
        }
    }
    return &crawlers[best];
}

Span CrawlerMatcher::Engine::spanOf(std::size_t crawler) const {
    const Locator& locator = locators[crawler];
    if (locator.regex) {
        re2::StringPiece found;
        if (locator.regex->ok() &&
            locator.regex->Match(text, 0, text.size(), RE2::UNANCHORED, &found, 1)) {
            return {static_cast<std::size_t>(found.data() - text.data()), found.size()};
        }
    } else if (const std::size_t start = text.find(locator.literal); start != std::string::npos) {
        return {start, locator.literal.size()};
    }
    // Not found on its own: last.
    return {text.size(), 0};
}

} // namespace trawlmeter::crawlers
