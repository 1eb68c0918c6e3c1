#include "BenchSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string_view>
#include <vector>

#include "crawlers/CrawlerList.h"

namespace trawlmeter::bench {
namespace {

constexpr std::string_view kTokens[] = {"baiduspider", "googlebot", "yahoo", "sogou", "msn"};

} // namespace

void QuietPlatform::showMessage(const std::string& prompt, int, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), prompt.c_str());
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

namespace {

// The list's own examples as IIS writes them, but those an engine's token claims.
std::vector<std::string> otherCrawlerAgents() {
    std::vector<std::string> agents;
    const auto list = crawlers::parseCrawlerList(crawlers::shippedListJson());
    if (!list) {
        return agents;
    }
    for (const auto& entry : *list) {
        for (std::string agent : entry.instances) {
            std::string lowered = agent;
            std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (std::none_of(std::begin(kTokens), std::end(kTokens), [&](std::string_view token) {
                    return lowered.find(token) != std::string::npos;
                })) {
                std::replace(agent.begin(), agent.end(), ' ', '+');
                agents.push_back(std::move(agent));
            }
        }
    }
    return agents;
}

} // namespace

std::int64_t writeGeneratedLog(const std::string& path, std::int64_t bytes, int crawlerPercent,
                               int otherPercent, std::uint32_t seed) {
    static constexpr std::string_view kBrowsers[] = {
        "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+Chrome/"
        "120.0+Safari/537.36",
        "Mozilla/5.0+(Macintosh;+Intel+Mac+OS+X+10_15_7)+AppleWebKit/"
        "605.1.15+(KHTML,+like+Gecko)+Version/17.1+Safari/605.1.15",
        "Mozilla/4.0+(compatible;+MSIE+8.0;+Windows+NT+6.1;+Trident/4.0)"};
    static constexpr std::string_view kCrawlers[] = {
        "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
        "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)",
        "Mozilla/5.0+(compatible;+Yahoo!+Slurp;+http://help.yahoo.com/help/us/ysearch/slurp)",
        "Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)",
        "msnbot/2.0b+(+http://search.msn.com/msnbot.htm)"};
    static constexpr std::string_view kPaths[] = {"/",
                                                  "/index.html",
                                                  "/news/list.aspx",
                                                  "/images/logo.gif",
                                                  "/products/item.aspx",
                                                  "/css/site.css"};
    const std::vector<std::string> others =
        otherPercent > 0 ? otherCrawlerAgents() : std::vector<std::string>{};
    std::mt19937 engine(seed);
    auto random = [&engine] { return static_cast<unsigned>(engine()); };
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#Software: Microsoft Internet Information Services 6.0\r\n#Version: 1.0\r\n"
           "#Date: 2008-07-15 00:00:00\r\n#Fields: date time s-sitename s-ip cs-method cs-uri-stem "
           "cs-uri-query s-port cs-username c-ip cs(User-Agent) sc-status sc-substatus "
           "sc-win32-status\r\n";
    std::int64_t written = out.tellp();
    std::int64_t lines = 4;
    char line[512];
    while (written < bytes) {
        const int draw = static_cast<int>(random() % 100);
        const bool other =
            draw >= crawlerPercent && draw < crawlerPercent + otherPercent && !others.empty();
        const std::string_view agent = draw < crawlerPercent ? kCrawlers[random() % 5]
                                       : other ? std::string_view(others[random() % others.size()])
                                               : kBrowsers[random() % 3];
        const unsigned seconds = random() % 86400;
        const int length = std::snprintf(
            line, sizeof line,
            "2008-07-15 %02u:%02u:%02u W3SVC1 192.168.0.10 GET %s id=%u 80 - 10.%u.%u.%u %.*s 200 "
            "0 0\r\n",
            seconds / 3600, seconds / 60 % 60, seconds % 60,
            std::string(kPaths[random() % 6]).c_str(), random() % 100000, random() % 256,
            random() % 256, random() % 256, static_cast<int>(agent.size()), agent.data());
        out.write(line, length);
        written += length;
        ++lines;
    }
    return lines;
}

double timeShellCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? secondsSince(start) : -1.0;
}

} // namespace trawlmeter::bench
