#include "support/GeneratedLog.h"

#include <fstream>

namespace trawlmeter::testing {

std::string crawlerAgent(int engine) {
    static const std::array<std::string, 5> kAgents{
        "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
        "Mozilla/5.0+(Linux;+Android+6.0.1)+AppleWebKit/537.36+(KHTML,+like+Gecko)+Chrome/41.0+"
        "Mobile+Safari/537.36+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)",
        "Mozilla/5.0+(compatible;+Yahoo!+Slurp;+http://help.yahoo.com/help/us/ysearch/slurp)",
        "Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)",
        "msnbot/2.0b+(+http://search.msn.com/msnbot.htm)"};
    return kAgents.at(static_cast<std::size_t>(engine));
}

GeneratedLog writeTestLog(const std::filesystem::path& path, std::int64_t bytes) {
    GeneratedLog log;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#Software: Microsoft Internet Information Services 6.0\r\n#Version: 1.0\r\n"
           "#Date: 2008-07-15 00:00:00\r\n#Fields: date time s-sitename s-ip cs-method cs-uri-stem "
           "cs-uri-query s-port cs-username c-ip cs(User-Agent) sc-status sc-substatus "
           "sc-win32-status\r\n";
    log.lines = 4;
    for (long n = 0; static_cast<std::int64_t>(out.tellp()) < bytes; ++n) {
        std::string agent = "Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1)";
        if (n % 10 == 0) {
            const int engine = static_cast<int>(n / 10 % 5);
            agent = crawlerAgent(engine);
            ++log.crawlerLines[static_cast<std::size_t>(engine)];
        }
        out << "2008-07-15 08:" << (n / 60 % 60 < 10 ? "0" : "") << n / 60 % 60 << ":"
            << (n % 60 < 10 ? "0" : "") << n % 60 << " W3SVC1 192.168.0.1 GET /index.html n=" << n
            << " 80 - 10.0.0." << n % 256 << " " << agent << " 200 0 0" << (n % 2 ? "\n" : "\r\n");
        ++log.lines;
    }
    return log;
}

} // namespace trawlmeter::testing
