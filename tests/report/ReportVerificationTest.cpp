#include "VisitRows.h"
#include "platform/Problem.h"
#include "report/Report.h"
#include "support/DnsmasqServer.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::kEngines;

// What the fixture server knows of the addresses below.
testing::DnsRecords fixtureRecords() {
    testing::DnsRecords records;
    records.localDomains = {"in-addr.arpa", "ip6.arpa", "baidu.com", "googlebot.com", "example"};
    records.hosts = {
        {"baiduspider-220-181-108-75.crawl.baidu.com", "220.181.108.75"},
        {"crawl-66-249-66-9.googlebot.com", "66.249.66.9"},
        {"crawl-ipv6.googlebot.com", "2001:db8::c1"},
    };
    records.ptr = {
        {"203.0.113.10", "crawl-203-0-113-10.googlebot.com.evil.example"},
        // Its forward look-up gives 66.249.66.9, another address.
        {"203.0.113.11", "crawl-66-249-66-9.googlebot.com"},
        // crawl.yahoo.net is none of the server's zones: the forward look-up is refused.
        {"203.0.113.13", "slurp-203-0-113-13.crawl.yahoo.net"},
    };
    return records;
}

std::vector<testing::Visit> visitsFrom(const std::string& client, int times) {
    return std::vector<testing::Visit>(
        static_cast<std::size_t>(times),
        testing::Visit{"2024-05-01", "10:00:00", "/robots.txt", client, "200"});
}

// Crawler lines as a run stores them, each address with its own number of visits.
void addCrawlerVisits(const std::string& database) {
    std::vector<testing::Visit> google;
    for (const auto& [client, times] : std::vector<std::pair<std::string, int>>{
             {"66.249.66.1", 7},  // Googlebot by Google's ranges
             {"203.0.113.10", 5}, // a host under googlebot.com.evil.example
             {"203.0.113.11", 4}, // a Googlebot's host that gives another address
             {"203.0.113.12", 3}, // no host at all
             {"2001:db8::c1", 2}, // a Googlebot over IPv6 by DNS
         }) {
        const auto visits = visitsFrom(client, times);
        google.insert(google.end(), visits.begin(), visits.end());
    }
    testing::addVisits(database, "google", google);
    testing::addVisits(database, "baidu", visitsFrom("220.181.108.75", 6));
    testing::addVisits(database, "yahoo", visitsFrom("203.0.113.13", 2));
    testing::addVisits(database, "msn", visitsFrom("157.55.39.1", 3));
}

struct ReportVerification : ::testing::Test {
    ReportVerification() {
        folder.createVisitDatabase();
        addCrawlerVisits(database);
    }

    Expected<report::Report> verified(const dns::ServerAddress& server,
                                      std::chrono::milliseconds firstTry = 2s) const {
        auto collected = report::collectReport(database, kEngines);
        if (!collected) {
            return collected;
        }
        report::ReportVerificationSettings settings;
        settings.rangeFolder = TRAWLMETER_RANGES_DIR;
        settings.verification.resolver = testing::resolverOptions(server, firstTry, 2);
        if (auto done = report::verifyReport(*collected, kEngines, settings); !done) {
            return tl::unexpected(done.error());
        }
        return collected;
    }

    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(ReportVerification, CountsEachEnginesVisitsByVerdictAndNamesTheImpostors) {
    const testing::DnsmasqServer server(fixtureRecords());
    const auto first = verified(server.server());
    ASSERT_TRUE(first) << first.error();

    const json document = json::parse(report::renderJson(*first));
    const json& google = document["engines"][1];
    EXPECT_EQ(google["verification"], json::parse(R"({"verified": 9, "impostor": 12,
                                                      "unknown": 0})"));
    EXPECT_EQ(google["impostors"], json::parse(R"([
        {"client": "203.0.113.10", "visits": 5,
         "host": "crawl-203-0-113-10.googlebot.com.evil.example"},
        {"client": "203.0.113.11", "visits": 4, "host": "crawl-66-249-66-9.googlebot.com"},
        {"client": "203.0.113.12", "visits": 3, "host": null}])"));
    EXPECT_EQ(document["engines"][0]["verification"],
              json::parse(R"({"verified": 6, "impostor": 0, "unknown": 0})"));
    // A refused forward look-up proves nothing either way.
    EXPECT_EQ(document["engines"][2]["verification"],
              json::parse(R"({"verified": 0, "impostor": 0, "unknown": 2})"));
    EXPECT_EQ(document["engines"][3]["verification"],
              json::parse(R"({"verified": 0, "impostor": 0, "unknown": 0})"));
    EXPECT_EQ(document["engines"][4]["verification"],
              json::parse(R"({"verified": 3, "impostor": 0, "unknown": 0})"));
    EXPECT_EQ(document["verification"]["dns_unavailable"], false);

    const std::string page = report::renderHtml(*first);
    EXPECT_NE(page.find("crawl-203-0-113-10.googlebot.com.evil.example"), std::string::npos);
    EXPECT_NE(page.find("(无主机名)"), std::string::npos);
    EXPECT_EQ(page.find("无法询问 DNS"), std::string::npos);

    // The verdicts were kept: a second report asks only about the address still unknown.
    const auto second = verified(server.server());
    ASSERT_TRUE(second) << second.error();
    EXPECT_EQ(second->verification->dnsQuestions, 2u) << "the PTR and A of 203.0.113.13";
    EXPECT_EQ(json::parse(report::renderJson(*second))["engines"], document["engines"]);
}

TEST_F(ReportVerification, WithoutADnsServerTheRangesStillVerifyAndThePageSaysDnsWasNotAsked) {
    const auto start = std::chrono::steady_clock::now();
    const auto report = verified(testing::closedDnsPort());
    ASSERT_TRUE(report) << report.error();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    const json document = json::parse(report::renderJson(*report));
    EXPECT_EQ(document["engines"][1]["verification"],
              json::parse(R"({"verified": 7, "impostor": 0, "unknown": 14})"));
    EXPECT_EQ(document["engines"][1]["impostors"], json::array());
    EXPECT_EQ(document["engines"][4]["verification"]["verified"], 3);
    EXPECT_EQ(document["verification"]["dns_unavailable"], true);
    EXPECT_NE(report::renderHtml(*report).find("无法询问 DNS"), std::string::npos);
}

TEST_F(ReportVerification, ABrokenRangeFileStopsTheVerificationNamingTheFile) {
    folder.copyRangeFiles();
    folder.writeFile("googlebot.json", R"({"prefixes": [{"ipv4Prefix": "66.249.64.0/99"}]})");
    auto collected = report::collectReport(database, kEngines);
    ASSERT_TRUE(collected) << collected.error();
    report::ReportVerificationSettings settings;
    settings.rangeFolder = folder.str();
    settings.verification.resolver.server = testing::closedDnsPort();
    const auto done = report::verifyReport(*collected, kEngines, settings);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().code, Problem::MalformedRangeFile);
    EXPECT_EQ(done.error().subject, (folder / "googlebot.json").string());
}

// Host names come from whoever answers for the address's reverse zone: hostile input.
TEST(ReportVerificationText, HostNamesFromTheDnsStayTextInThePageAndTheJson) {
    report::Report hostile;
    auto& engine = hostile.engines.emplace_back();
    engine.name = "Google";
    engine.table = "google";
    engine.visits = 2;
    engine.verification.impostor = 2;
    const std::string host = "<script>alert(1)</script>\"'&.\xE2\x80\xAE"
                             "elpmaxe.evil";
    engine.verification.impostors = {{"203.0.113.9", 2, host}};
    hostile.verification = report::VerificationSummary{};

    const std::string page = report::renderHtml(hostile);
    EXPECT_FALSE(std::regex_search(page, std::regex("<script", std::regex::icase)));
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;.\xEF\xBF\xBD"
                        "elpmaxe.evil"),
              std::string::npos);
    const json document = json::parse(report::renderJson(hostile));
    EXPECT_EQ(document["engines"][0]["impostors"][0]["host"],
              "<script>alert(1)</script>\"'&.\xEF\xBF\xBD"
              "elpmaxe.evil");
}

} // namespace
} // namespace trawlmeter
