#include "report/Report.h"

#include <nlohmann/json.hpp>

#include "report/Utf8.h"

namespace trawlmeter::report {
namespace {

using Json = nlohmann::ordered_json;

Json countList(const std::vector<Count>& counts, const char* key) {
    Json list = Json::array();
    for (const Count& count : counts) {
        list.push_back({{key, validUtf8(count.value)}, {"visits", count.visits}});
    }
    return list;
}

Json engineJson(const EngineFigures& figures) {
    return {{"name", validUtf8(figures.name)},
            {"table", validUtf8(figures.table)},
            {"visits", figures.visits},
            {"first", validUtf8(figures.first)},
            {"last", validUtf8(figures.last)},
            {"days", figures.days},
            {"urls", figures.urls},
            {"clients", figures.clients},
            {"daily", countList(figures.daily, "date")},
            {"hourly", figures.hourly},
            {"statuses", countList(figures.statuses, "status")},
            {"top_urls", countList(figures.topUrls, "url")},
            {"error_urls", countList(figures.errorUrls, "url")},
            {"top_clients", countList(figures.topClients, "client")}};
}

// A date and time, null where there is none.
Json stampOrNull(const std::string& stamp) {
    return stamp.empty() ? Json(nullptr) : Json(validUtf8(stamp));
}

Json otherCrawlerJson(const OtherCrawlerFigures& crawler) {
    return {{"name", validUtf8(crawler.name)},   {"category", validUtf8(crawler.category)},
            {"visits", crawler.visits},          {"first", stampOrNull(crawler.first)},
            {"last", stampOrNull(crawler.last)}, {"top_urls", countList(crawler.topUrls, "url")}};
}

} // namespace

std::string renderJson(const Report& report) {
    Json engines = Json::array();
    for (const EngineFigures& figures : report.engines) {
        engines.push_back(engineJson(figures));
    }
    Json others = Json::array();
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        others.push_back(otherCrawlerJson(crawler));
    }
    const Json document = {{"database", validUtf8(report.database)},
                           {"generated", validUtf8(report.generated)},
                           {"engines", std::move(engines)},
                           {"other_crawlers", std::move(others)}};
    // Every text is valid already; the replacing handler only keeps dump from ever throwing.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace trawlmeter::report
