#pragma once

#include "analysis/TokenSearch.h"
#include "app/MainForm.h"

#include <array>
#include <span>
#include <string_view>

namespace trawlmeter {

// One crawler engine: everything that needs the engines reads them from kCrawlerEngines.
struct CrawlerEngine {
    // As the window shows it.
    std::string_view name;
    // Searched for in the lower-cased item.
    std::string_view token;
    // Its table in the visit database.
    std::string_view table;
    TextBox MainForm::*counter;
    MainForm::VisitExport (MainForm::*visitExport)();
    // The domains its crawlers' host names lie under, as a reverse look-up gives them.
    std::span<const std::string_view> domains;
    // The files of address ranges it publishes for its crawlers, read from the program folder.
    std::span<const std::string_view> rangeFiles;
};

namespace engine_identity {
inline constexpr std::array<std::string_view, 2> kBaiduDomains{"baidu.com", "baidu.jp"};
inline constexpr std::array<std::string_view, 3> kGoogleDomains{"googlebot.com", "google.com",
                                                                "googleusercontent.com"};
inline constexpr std::array<std::string_view, 1> kYahooDomains{"crawl.yahoo.net"};
inline constexpr std::array<std::string_view, 1> kSogouDomains{"sogou.com"};
inline constexpr std::array<std::string_view, 1> kMsnDomains{"search.msn.com"};
// Google's common crawlers, its special crawlers (AdsBot and the like) and the fetchers users
// trigger all sign as Google. Bing's ranges stand for bingbot, which does not sign as Yahoo: a
// line that claims Yahoo's crawler is Yahoo's only when its address resolves under Yahoo's own
// crawl domain.
inline constexpr std::array<std::string_view, 3> kGoogleRanges{
    "googlebot.json", "special-crawlers.json", "user-triggered-fetchers.json"};
inline constexpr std::array<std::string_view, 1> kMsnRanges{"bingbot.json"};
} // namespace engine_identity

// In the order the tokens are tested: the first token found in an item decides its engine.
// clang-format off
inline constexpr std::array<CrawlerEngine, 5> kCrawlerEngines{{
    {"Baidu", "baiduspider", "baidu", &MainForm::TxtBaiduCnt, &MainForm::CmdSaveBaidu_Click,
     engine_identity::kBaiduDomains, {}},
    {"Google", "googlebot", "google", &MainForm::TxtGoogleCnt, &MainForm::CmdSaveGoogle_Click,
     engine_identity::kGoogleDomains, engine_identity::kGoogleRanges},
    {"Yahoo", "yahoo", "yahoo", &MainForm::TxtYahooCnt, &MainForm::CmdSaveYahoo_Click,
     engine_identity::kYahooDomains, {}},
    {"Sogou", "sogou", "sogou", &MainForm::TxtSogouCnt, &MainForm::CmdSaveSogou_Click,
     engine_identity::kSogouDomains, {}},
    {"Msn", "msn", "msn", &MainForm::TxtMsnCnt, &MainForm::CmdSaveMsn_Click,
     engine_identity::kMsnDomains, engine_identity::kMsnRanges},
}};
// clang-format on

// The place of the engine of that name in kCrawlerEngines; a name that is none fails to compile
// where the place is needed as a constant.
consteval std::size_t engineNamed(std::string_view name) {
    for (std::size_t i = 0; i < kCrawlerEngines.size(); ++i) {
        if (kCrawlerEngines[i].name == name) {
            return i;
        }
    }
    throw "no engine of that name";
}

// One text field of every engine, in table order.
constexpr std::array<std::string_view, kCrawlerEngines.size()>
engineTexts(std::string_view CrawlerEngine::*field) {
    std::array<std::string_view, kCrawlerEngines.size()> texts{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = kCrawlerEngines[i].*field;
    }
    return texts;
}

inline constexpr auto kCrawlerTokens = engineTexts(&CrawlerEngine::token);
static_assert(analysis::TokenSearch::suits(kCrawlerTokens),
              "every token must be three or more lower-case letters");
inline constexpr analysis::TokenSearch kCrawlerTokenSearch{kCrawlerTokens};

inline constexpr auto kCrawlerTables = engineTexts(&CrawlerEngine::table);

// The table of every other known crawler follows the five engines' among the run's tables.
inline constexpr std::size_t kOtherCrawlersPlace = kCrawlerEngines.size();

} // namespace trawlmeter
