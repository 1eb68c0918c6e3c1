#include "report/Report.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "report/Utf8.h"

namespace trawlmeter::report {
namespace {

using Json = nlohmann::ordered_json;

Json countList(const std::vector<Count>& counts, const char* key,
               std::size_t limit = std::numeric_limits<std::size_t>::max()) {
    Json list = Json::array();
    for (std::size_t i = 0; i < counts.size() && i < limit; ++i) {
        list.push_back({{key, neutralText(counts[i].value)}, {"visits", counts[i].visits}});
    }
    return list;
}

// A text that may be missing: null then.
Json textOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(neutralText(text));
}

Json engineJson(const EngineFigures& figures, bool verified) {
    Json engine = {{"name", neutralText(figures.name)},
                   {"table", neutralText(figures.table)},
                   {"visits", figures.visits},
                   {"first", textOrNull(figures.first)},
                   {"last", textOrNull(figures.last)},
                   {"days", figures.days},
                   {"urls", figures.urls},
                   {"clients", figures.clients},
                   {"daily", countList(figures.daily, "date")},
                   {"hourly", figures.hourly},
                   {"statuses", countList(figures.statuses, "status")},
                   {"top_urls", countList(figures.topUrls, "url")},
                   {"error_urls", countList(figures.errorUrls, "url")},
                   {"top_clients", countList(figures.clientVisits, "client", kTopClients)}};
    if (!verified) {
        return engine;
    }
    const EngineVerification& verification = figures.verification;
    engine["verification"] = {{"verified", verification.verified},
                              {"impostor", verification.impostor},
                              {"unknown", verification.unknown}};
    Json impostors = Json::array();
    for (const Impostor& impostor : verification.impostors) {
        impostors.push_back({{"client", neutralText(impostor.client)},
                             {"visits", impostor.visits},
                             {"host", textOrNull(impostor.host)}});
    }
    engine["impostors"] = std::move(impostors);
    engine["unchecked_clients"] = verification.uncheckedClients;
    return engine;
}

Json otherCrawlerJson(const OtherCrawlerFigures& crawler) {
    return {{"name", neutralText(crawler.name)}, {"category", neutralText(crawler.category)},
            {"visits", crawler.visits},          {"first", textOrNull(crawler.first)},
            {"last", textOrNull(crawler.last)},  {"top_urls", countList(crawler.topUrls, "url")}};
}

} // namespace

std::string renderJson(const Report& report) {
    Json engines = Json::array();
    for (const EngineFigures& figures : report.engines) {
        engines.push_back(engineJson(figures, report.verification.has_value()));
    }
    Json others = Json::array();
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        others.push_back(otherCrawlerJson(crawler));
    }
    Json document = {{"database", neutralText(report.database)},
                     {"generated", neutralText(report.generated)}};
    if (const auto& summary = report.verification) {
        document["verification"] = {{"dns_questions", summary->dnsQuestions},
                                    {"dns_unavailable", summary->dnsUnavailable},
                                    {"time_ran_out", summary->timeRanOut},
                                    {"verdicts_kept", !summary->verdictsNotKept}};
    }
    document["engines"] = std::move(engines);
    document["other_crawlers"] = std::move(others);
    // Every text is valid already; the replacing handler only keeps dump from ever throwing.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace trawlmeter::report
