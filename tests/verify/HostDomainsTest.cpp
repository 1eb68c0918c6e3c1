#include "support/ShippedEngines.h"
#include "verify/HostDomains.h"

#include <gtest/gtest.h>

namespace trawlmeter::verify {
namespace {

bool hostOf(const char* table, const char* host) {
    return hostInDomains(host, testing::identityOf(table).domains);
}

TEST(HostDomains, MatchWholeLabelsInAnyCaseWithOrWithoutTheRootDot) {
    EXPECT_TRUE(hostOf("google", "crawl-66-249-66-1.googlebot.com"));
    EXPECT_TRUE(hostOf("google", "CRAWL-66-249-66-1.GoogleBot.COM."));
    EXPECT_TRUE(hostOf("google", "googlebot.com"));
    EXPECT_TRUE(hostOf("google", "rate-limited-proxy-66-249-90-77.google.com"));
    EXPECT_TRUE(hostOf("google", "1.2.3.4.gae.googleusercontent.com"));
    EXPECT_TRUE(hostOf("baidu", "baiduspider-220-181-108-75.crawl.baidu.com"));
    EXPECT_TRUE(hostOf("baidu", "baiduspider-119-63-196-1.crawl.baidu.jp"));
    EXPECT_TRUE(hostOf("yahoo", "b.slurp.crawl.yahoo.net"));
    EXPECT_TRUE(hostOf("sogou", "sogouspider-123-126-113-1.crawl.sogou.com"));
    EXPECT_TRUE(hostOf("msn", "msnbot-157-55-39-1.search.msn.com"));

    EXPECT_FALSE(hostOf("google", "evilgooglebot.com"));
    EXPECT_FALSE(hostOf("google", "crawl.evilgooglebot.com"));
    EXPECT_FALSE(hostOf("google", "googlebot.com.evil.example"));
    EXPECT_FALSE(hostOf("google", "googlebot.co"));
    EXPECT_FALSE(hostOf("yahoo", "evilcrawl.yahoo.net"));
    EXPECT_FALSE(hostOf("yahoo", "yahoo.net"));
    EXPECT_FALSE(hostOf("msn", "msn.com"));
    EXPECT_FALSE(hostOf("msn", "bingbot.search.msn.com.example"));
    EXPECT_FALSE(hostOf("baidu", "crawl-66-249-66-1.googlebot.com")) << "another engine's domain";
}

TEST(HostDomains, NamesWithEmptyLabelsOrEscapesAreUnderNoDomain) {
    for (const char* host :
         {"", ".", "..googlebot.com", "crawl..googlebot.com", ".googlebot.com",
          "crawl.googlebot.com..", "evil\\.googlebot.com", "crawl.googlebot\\.com"}) {
        EXPECT_FALSE(hostOf("google", host)) << host;
    }
}

} // namespace
} // namespace trawlmeter::verify
