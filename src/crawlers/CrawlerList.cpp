#include "crawlers/CrawlerList.h"

#include <optional>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

namespace trawlmeter::crawlers {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kSubject = "crawler list";

tl::unexpected<Failure> malformed(std::string detail) {
    return fail(std::make_error_code(std::errc::bad_message), std::string(kSubject),
                std::move(detail));
}

// The texts of an optional array field of `entry`; nullopt when the field is something else.
std::optional<std::vector<std::string>> texts(const Json& entry, const char* field) {
    std::vector<std::string> result;
    const auto found = entry.find(field);
    if (found == entry.end()) {
        return result;
    }
    if (!found->is_array()) {
        return std::nullopt;
    }
    for (const Json& item : *found) {
        if (!item.is_string()) {
            return std::nullopt;
        }
        result.push_back(item.get<std::string>());
    }
    return result;
}

} // namespace

Expected<std::vector<ListedCrawler>> parseCrawlerList(std::string_view json) {
    Json list;
    // The parser reports what is wrong only by throwing; nothing else here throws.
    try {
        list = Json::parse(json);
    } catch (const Json::exception& error) {
        return malformed(error.what());
    }
    if (!list.is_array()) {
        return malformed("not an array of entries");
    }
    std::vector<ListedCrawler> crawlers;
    crawlers.reserve(list.size());
    for (const Json& entry : list) {
        const std::string where = "entry " + std::to_string(crawlers.size() + 1);
        if (!entry.is_object()) {
            return malformed(where + " is not an object");
        }
        const auto pattern = entry.find("pattern");
        if (pattern == entry.end() || !pattern->is_string()) {
            return malformed(where + " has no pattern");
        }
        ListedCrawler crawler;
        crawler.pattern = pattern->get<std::string>();
        if (const auto description = entry.find("description"); description != entry.end()) {
            if (!description->is_string()) {
                return malformed(where + ": description is not a text");
            }
            crawler.description = description->get<std::string>();
        }
        auto instances = texts(entry, "instances");
        auto tags = texts(entry, "tags");
        auto dependsOn = texts(entry, "depends_on");
        if (!instances || !tags || !dependsOn) {
            return malformed(where + ": instances, tags or depends_on is not a list of texts");
        }
        crawler.instances = std::move(*instances);
        crawler.tags = std::move(*tags);
        crawler.dependsOn = std::move(*dependsOn);
        crawlers.push_back(std::move(crawler));
    }
    return crawlers;
}

} // namespace trawlmeter::crawlers
