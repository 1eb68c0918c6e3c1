// Times the crawler matcher alone: its start-up (reading the compiled-in list, naming the
// crawlers, building the RE2 set) with the memory that takes, then its speed on user-agent fields
// as IIS writes them, a share of them from crawlers of the list and the rest from browsers, with
// the memory the automaton's states take. The crawlers are today's common ones, or every entry
// of the list alike, which makes the automaton reach nearly all of its states. One mix a run, so
// that each starts from a fresh process's memory.
//
//   bench-crawler-match common|every [lines=200000] [crawler percent=30] [passes=5]
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>

#include "crawlers/CrawlerCatalogue.h"
#include "crawlers/CrawlerList.h"
#include "crawlers/CrawlerMatcher.h"

namespace {

using namespace trawlmeter;

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), -1 when there is none.
long statusKib(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::atol(line.c_str() + key.size());
        }
    }
    return -1;
}

// Processor seconds (user and system) of this process so far.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Bytes the heap holds for the program, wherever freed memory is reused.
long heapKib() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) >> 10);
}

// Patterns of crawlers that load sites today, as the list writes them.
const char* const kCommonCrawlers[] = {"bingbot",
                                       "Applebot",
                                       "DuckDuckBot",
                                       "PetalBot",
                                       "360Spider",
                                       "YisouSpider",
                                       "Bytespider",
                                       "GPTBot",
                                       "OAI-SearchBot",
                                       "ChatGPT-User",
                                       "[cC]laude[bB]ot",
                                       "PerplexityBot\\/",
                                       "Amazonbot",
                                       "meta-externalagent\\/",
                                       "CCBot",
                                       "Ahrefs(Bot|SiteAudit)",
                                       "S[eE][mM]rushBot",
                                       "MJ12bot",
                                       "dotbot",
                                       "yandex\\.com\\/bots",
                                       "SeznamBot",
                                       "facebookexternalhit",
                                       "Twitterbot",
                                       "^curl",
                                       "python-requests",
                                       "Go-http-client",
                                       "[wW]get",
                                       "UptimeRobot",
                                       "BLEXBot\\/",
                                       "DataForSeoBot",
                                       "serpstatbot\\/",
                                       "Bark[rR]owler"};

std::string asIisWritesIt(std::string userAgent) {
    std::replace(userAgent.begin(), userAgent.end(), ' ', '+');
    return userAgent;
}

// Browser user agents with their versions varied, as a site's visitors send them.
std::string browserAgent(std::mt19937& random) {
    const auto pick = [&random](unsigned from, unsigned count) {
        return std::to_string(from + static_cast<unsigned>(random()) % count);
    };
    switch (random() % 6) {
    case 0:
        return "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
               "Chrome/" +
               pick(100, 30) + ".0." + pick(4000, 2500) + "." + pick(0, 200) + " Safari/537.36";
    case 1:
        return "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_" + pick(0, 8) +
               ") AppleWebKit/605.1.15 (KHTML, like Gecko) Version/" + pick(14, 5) + "." +
               pick(0, 6) + " Safari/605.1.15";
    case 2:
        return "Mozilla/5.0 (X11; Linux x86_64; rv:" + pick(100, 30) +
               ".0) Gecko/20100101 Firefox/" + pick(100, 30) + ".0";
    case 3:
        return "Mozilla/5.0 (Linux; Android " + pick(9, 6) + "; SM-G" + pick(900, 99) +
               ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/" + pick(100, 30) +
               ".0.0.0 Mobile Safari/537.36";
    case 4:
        return "Mozilla/5.0 (iPhone; CPU iPhone OS " + pick(14, 5) + "_" + pick(0, 7) +
               " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/" + pick(14, 5) +
               ".0 Mobile/15E148 Safari/604.1";
    default:
        return "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
               "Chrome/" +
               pick(100, 30) + ".0.0.0 Safari/537.36 Edg/" + pick(100, 30) + ".0." +
               pick(1000, 1500) + ".0";
    }
}

struct Mix {
    const char* name = "";
    std::vector<std::string> agents;
    std::size_t crawlerLines = 0;
};

// `lines` fields, `crawlerPercent` of them examples of the list's crawlers: of the common ones
// or of every entry that has examples.
Mix mixOf(const std::string& which, std::size_t lines, int crawlerPercent) {
    const auto list = crawlers::parseCrawlerList(crawlers::shippedListJson());
    std::vector<const crawlers::ListedCrawler*> crawlers;
    for (const auto& entry : *list) {
        const bool common = std::find_if(std::begin(kCommonCrawlers), std::end(kCommonCrawlers),
                                         [&](const char* pattern) {
                                             return entry.pattern == pattern;
                                         }) != std::end(kCommonCrawlers);
        if (!entry.instances.empty() && (common || which == "every")) {
            crawlers.push_back(&entry);
        }
    }
    std::mt19937 random(1);
    Mix mix{which == "every" ? "every crawler of the list" : "common crawlers", {}, 0};
    mix.agents.reserve(lines);
    while (mix.agents.size() < lines) {
        if (static_cast<int>(random() % 100) < crawlerPercent) {
            const auto& examples = crawlers[random() % crawlers.size()]->instances;
            mix.agents.push_back(asIisWritesIt(examples[random() % examples.size()]));
            ++mix.crawlerLines;
        } else {
            mix.agents.push_back(asIisWritesIt(browserAgent(random)));
        }
    }
    std::printf("crawler list %.*s: %zu entries, %zu of them in the mix\n",
                static_cast<int>(crawlers::shippedListVersion().size()),
                crawlers::shippedListVersion().data(), list->size(), crawlers.size());
    return mix;
}

} // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "";
    const long lines = argc > 2 ? std::atol(argv[2]) : 200000;
    const int crawlerPercent = argc > 3 ? std::atoi(argv[3]) : 30;
    const int passes = argc > 4 ? std::atoi(argv[4]) : 5;
    if ((which != "common" && which != "every") || lines <= 0 || crawlerPercent < 0 ||
        crawlerPercent > 100 || passes < 2) {
        std::fprintf(stderr, "usage: bench-crawler-match common|every [lines] [crawler percent] "
                             "[passes >= 2]\n");
        return 2;
    }

    // First, in a process that has allocated nothing yet, so that its peak is the start's.
    const long beforeHeap = heapKib();
    const long beforePeak = statusKib("VmHWM:");
    const auto start = std::chrono::steady_clock::now();
    auto list = crawlers::parseCrawlerList(crawlers::shippedListJson());
    if (!list) {
        std::fprintf(stderr, "bench-crawler-match: %s\n", list.error().detail.c_str());
        return 1;
    }
    const double parseSeconds = bench::secondsSince(start);
    auto catalogue = crawlers::CrawlerCatalogue::fromList(*list);
    list->clear();
    list->shrink_to_fit();
    const double catalogueSeconds = bench::secondsSince(start) - parseSeconds;
    auto matcher = crawlers::CrawlerMatcher::build(std::move(catalogue));
    const double startSeconds = bench::secondsSince(start);
    if (!matcher) {
        std::fprintf(stderr, "bench-crawler-match: %s\n", matcher.error().detail.c_str());
        return 1;
    }
    const long startPeak = statusKib("VmHWM:") - beforePeak;
    const long matcherHeap = heapKib() - beforeHeap;

    const Mix mix = mixOf(which, static_cast<std::size_t>(lines), crawlerPercent);
    const long mixHeap = heapKib();
    std::printf("%s: %zu user agents, %zu of them crawlers (%.0f %%), %d passes\n", mix.name,
                mix.agents.size(), mix.crawlerLines,
                100.0 * static_cast<double>(mix.crawlerLines) /
                    static_cast<double>(mix.agents.size()),
                passes);
    std::printf("  start-up: %.1f ms (list %.1f, names and categories %.1f, RE2 set %.1f); "
                "peak +%ld KiB, the matcher then holds %ld KiB\n",
                startSeconds * 1e3, parseSeconds * 1e3, catalogueSeconds * 1e3,
                (startSeconds - parseSeconds - catalogueSeconds) * 1e3, startPeak, matcherHeap);
    std::size_t claimed = 0;
    double firstSeconds = 0;
    double laterSeconds = 0;
    double laterProcessor = 0;
    for (int pass = 0; pass < passes; ++pass) {
        claimed = 0;
        const auto passStart = std::chrono::steady_clock::now();
        const double processorStart = processorSeconds();
        for (const std::string& agent : mix.agents) {
            const auto crawler = matcher->match(agent);
            if (!crawler) {
                std::fprintf(stderr, "bench-crawler-match: %s\n", crawler.error().detail.c_str());
                return 1;
            }
            claimed += *crawler != nullptr;
        }
        (pass == 0 ? firstSeconds : laterSeconds) += bench::secondsSince(passStart);
        if (pass > 0) {
            laterProcessor += processorSeconds() - processorStart;
        }
    }
    // The first pass builds the automaton's states as the user agents reach them.
    const double count = static_cast<double>(mix.agents.size());
    std::printf("  first pass %.0f lines/s, later passes %.0f lines/s (%.0f per processor "
                "second); %zu claimed per pass\n",
                count / firstSeconds, count * (passes - 1) / laterSeconds,
                count * (passes - 1) / laterProcessor, claimed);
    std::printf("  the automaton's states then take %ld KiB more\n", heapKib() - mixHeap);
    if (claimed < mix.crawlerLines) {
        std::fprintf(stderr, "bench-crawler-match: crawler lines went unclaimed\n");
        return 1;
    }
    return 0;
}
