#include "support/DnsmasqServer.h"
#include "support/ReadRows.h"
#include "support/ShippedEngines.h"
#include "support/TestFolder.h"
#include "verify/CrawlerVerifier.h"
#include "verify/VerdictCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>

namespace trawlmeter::verify {
namespace {

using namespace std::chrono_literals;
namespace stdfs = std::filesystem;

// The real resolver, with every question it is asked written down.
class CountingResolver : public dns::Resolver {
public:
    explicit CountingResolver(std::unique_ptr<dns::Resolver> resolver)
        : m_resolver(std::move(resolver)) {}
    void askHostNames(const IpAddress& address, dns::AnswerHandler onAnswer) override {
        asked.push_back("PTR " + address.toString());
        m_resolver->askHostNames(address, std::move(onAnswer));
    }
    void askAddresses(const std::string& host, IpAddress::Family family,
                      dns::AnswerHandler onAnswer) override {
        asked.push_back((family == IpAddress::Family::V4 ? "A " : "AAAA ") + host);
        m_resolver->askAddresses(host, family, std::move(onAnswer));
    }
    std::size_t pending() const override { return m_resolver->pending(); }
    void waitForAnswers(std::chrono::steady_clock::time_point until) override {
        m_resolver->waitForAnswers(until);
    }
    void cancelAll() override { m_resolver->cancelAll(); }

    std::vector<std::string> asked;

private:
    std::unique_ptr<dns::Resolver> m_resolver;
};

CountingResolver resolverFor(const dns::ServerAddress& server,
                             std::chrono::milliseconds firstTry = 2s, int tries = 2) {
    auto resolver = dns::openResolver(testing::resolverOptions(server, firstTry, tries));
    if (!resolver) {
        throw std::runtime_error(resolver.error().code.message());
    }
    return CountingResolver(std::move(*resolver));
}

const CrawlerRanges& shippedRanges() {
    static const auto ranges =
        CrawlerRanges::load(TRAWLMETER_RANGES_DIR, testing::shippedIdentities());
    if (!ranges) {
        throw std::runtime_error("the shipped ranges do not load: " + ranges.error().subject);
    }
    return *ranges;
}

// What the fixture server knows: crawlers, impostors and a name it refuses to resolve.
testing::DnsRecords crawlerRecords() {
    testing::DnsRecords records;
    records.localDomains = {"in-addr.arpa", "ip6.arpa", "baidu.com",     "googlebot.com",
                            "sogou.com",    "example",  "search.msn.com"};
    records.hosts = {
        {"baiduspider-220-181-108-75.crawl.baidu.com", "220.181.108.75"},
        {"crawl-66-249-66-9.googlebot.com", "66.249.66.9"},
        {"crawl-ipv6.googlebot.com", "2001:db8::c1"},
        {"sogouspider-123-126-113-1.crawl.sogou.com", "123.126.113.1"},
    };
    records.ptr = {
        {"203.0.113.10", "crawl-203-0-113-10.googlebot.com.evil.example"},
        {"203.0.113.11", "crawl-66-249-66-9.googlebot.com"},
        // crawl.yahoo.net is none of the server's zones: the forward look-up is refused.
        {"203.0.113.13", "slurp-203-0-113-13.crawl.yahoo.net"},
    };
    return records;
}

std::map<std::string, std::string> verdictsOf(const Verification& verification) {
    static const char* kSources[] = {"ranges", "cache", "dns", "not asked"};
    std::map<std::string, std::string> verdicts;
    for (const auto& engine : verification.engines) {
        for (const auto& client : engine.clients) {
            verdicts[engine.table + " " + client.client] =
                std::string(verdictName(client.verdict)) + " " + client.host + " (" +
                kSources[static_cast<int>(client.source)] + ")";
        }
    }
    return verdicts;
}

using testing::identityOf;

const std::vector<EngineClients> kClients{
    {identityOf("google"),
     {"66.249.66.1", "203.0.113.10", "203.0.113.11", "203.0.113.12", "2001:db8::c1", "-"}},
    {identityOf("baidu"), {"220.181.108.75", "2001:db8::c1"}},
    {identityOf("yahoo"), {"157.55.39.1", "203.0.113.13"}},
    {identityOf("sogou"), {"::ffff:123.126.113.1"}},
    {identityOf("msn"), {"157.55.39.1"}},
};

struct CrawlerVerifierTest : ::testing::Test {
    CrawlerVerifierTest() { folder.createVisitDatabase(); }
    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(CrawlerVerifierTest, EachClientGetsTheVerdictTheRangesOrItsRecordsGive) {
    const testing::DnsmasqServer server(crawlerRecords());
    auto resolver = resolverFor(server.server());
    CrawlerVerifier verifier(shippedRanges(), resolver, nullptr);

    const auto verification = verifier.verify(kClients, {});

    EXPECT_EQ(
        verdictsOf(verification),
        (std::map<std::string, std::string>{
            {"google 66.249.66.1", "verified  (ranges)"},
            {"google 203.0.113.10", "impostor crawl-203-0-113-10.googlebot.com.evil.example (dns)"},
            {"google 203.0.113.11", "impostor crawl-66-249-66-9.googlebot.com (dns)"},
            {"google 203.0.113.12", "impostor  (dns)"},
            {"google 2001:db8::c1", "verified crawl-ipv6.googlebot.com (dns)"},
            {"google -", "unknown  (not asked)"},
            {"baidu 220.181.108.75", "verified baiduspider-220-181-108-75.crawl.baidu.com (dns)"},
            {"baidu 2001:db8::c1", "impostor crawl-ipv6.googlebot.com (dns)"},
            // Bing's ranges do not make a Yahoo crawler; its address has no name.
            {"yahoo 157.55.39.1", "impostor  (dns)"},
            {"yahoo 203.0.113.13", "unknown slurp-203-0-113-13.crawl.yahoo.net (dns)"},
            {"sogou ::ffff:123.126.113.1",
             "verified sogouspider-123-126-113-1.crawl.sogou.com (dns)"},
            {"msn 157.55.39.1", "verified  (ranges)"},
        }));
    // Each address is looked up once whatever engines it signed as, hosts outside every
    // domain never.
    std::sort(resolver.asked.begin(), resolver.asked.end());
    EXPECT_EQ(resolver.asked, (std::vector<std::string>{
                                  "A baiduspider-220-181-108-75.crawl.baidu.com",
                                  "A crawl-66-249-66-9.googlebot.com",
                                  "A slurp-203-0-113-13.crawl.yahoo.net",
                                  "A sogouspider-123-126-113-1.crawl.sogou.com",
                                  "AAAA crawl-ipv6.googlebot.com",
                                  "PTR 123.126.113.1",
                                  "PTR 157.55.39.1",
                                  "PTR 2001:db8::c1",
                                  "PTR 203.0.113.10",
                                  "PTR 203.0.113.11",
                                  "PTR 203.0.113.12",
                                  "PTR 203.0.113.13",
                                  "PTR 220.181.108.75",
                              }));
    EXPECT_EQ(verification.questions, resolver.asked.size());
    EXPECT_FALSE(verification.dnsUnavailable);
    EXPECT_FALSE(verification.timeRanOut);
}

TEST_F(CrawlerVerifierTest, ALaterVerificationAsksOnlyAboutAddressesWithoutAVerdict) {
    const testing::DnsmasqServer server(crawlerRecords());
    auto cache = VerdictCache::open(database);
    ASSERT_TRUE(cache);
    auto first = resolverFor(server.server());
    const auto firstVerdicts =
        CrawlerVerifier(shippedRanges(), first, &*cache).verify(kClients, {});
    ASSERT_FALSE(firstVerdicts.cacheFailure);

    auto later = resolverFor(server.server());
    auto reopened = VerdictCache::open(database);
    ASSERT_TRUE(reopened);
    const auto laterVerdicts =
        CrawlerVerifier(shippedRanges(), later, &*reopened).verify(kClients, {});

    // Only the unknown one is asked again.
    EXPECT_EQ(later.asked, (std::vector<std::string>{"PTR 203.0.113.13",
                                                     "A slurp-203-0-113-13.crawl.yahoo.net"}));
    auto expected = verdictsOf(firstVerdicts);
    for (auto& [client, verdict] : expected) {
        if (verdict.ends_with("(dns)") && !verdict.starts_with("unknown")) {
            verdict.replace(verdict.size() - 5, 5, "(cache)");
        }
    }
    EXPECT_EQ(verdictsOf(laterVerdicts), expected);
    // What the ranges verify is not kept: it is decided afresh from the files each time.
    EXPECT_EQ(testing::readRows(database,
                                "SELECT count(*) FROM verdicts WHERE address IN "
                                "('66.249.66.1', '157.55.39.1') AND verdict = 'verified'"),
              std::vector<testing::Row>{{"0"}});
}

TEST_F(CrawlerVerifierTest, WithoutAResolverEveryDnsVerdictIsUnknownAndTheRangesStillVerify) {
    auto resolver = resolverFor(testing::closedDnsPort());
    const auto verification =
        CrawlerVerifier(shippedRanges(), resolver, nullptr)
            .verify(std::vector<EngineClients>{{identityOf("google"), {"66.249.66.1"}},
                                               {identityOf("baidu"), {"220.181.108.75"}}},
                    {});
    EXPECT_EQ(verdictsOf(verification),
              (std::map<std::string, std::string>{{"google 66.249.66.1", "verified  (ranges)"},
                                                  {"baidu 220.181.108.75", "unknown  (dns)"}}));
    EXPECT_TRUE(verification.dnsUnavailable);
}

TEST_F(CrawlerVerifierTest, AResolverThatNeverAnswersIsGivenUpAfterItsFirstQuestions) {
    const testing::SilentDnsPort silent;
    auto resolver = resolverFor(silent.server(), 100ms, 1);
    std::vector<EngineClients> clients{{identityOf("baidu"), {}}};
    for (int i = 1; i <= 40; ++i) {
        clients[0].clients.push_back("203.0.113." + std::to_string(i));
    }
    const auto verification = CrawlerVerifier(shippedRanges(), resolver, nullptr)
                                  .verify(clients, {std::chrono::minutes(5), 8});
    EXPECT_EQ(resolver.asked.size(), 8u) << "one round of questions in flight, no more";
    EXPECT_TRUE(verification.dnsUnavailable);
    EXPECT_FALSE(verification.timeRanOut);
    for (const auto& client : verification.engines[0].clients) {
        EXPECT_EQ(client.verdict, Verdict::Unknown) << client.client;
    }
}

TEST_F(CrawlerVerifierTest, TheTotalTimeBoundsAVerificationWhoseAnswersDoNotCome) {
    const testing::SilentDnsPort silent;
    auto resolver = resolverFor(silent.server(), 30s, 2);
    const auto start = std::chrono::steady_clock::now();
    const auto verification =
        CrawlerVerifier(shippedRanges(), resolver, nullptr)
            .verify(
                std::vector<EngineClients>{{identityOf("sogou"), {"203.0.113.1", "203.0.113.2"}}},
                {300ms, 100});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(verification.timeRanOut);
    EXPECT_EQ(verdictsOf(verification),
              (std::map<std::string, std::string>{{"sogou 203.0.113.1", "unknown  (not asked)"},
                                                  {"sogou 203.0.113.2", "unknown  (not asked)"}}));
}

TEST_F(CrawlerVerifierTest, AWholeVerificationReadsTheRangesBesideTheProgramAndKeepsItsVerdicts) {
    const testing::DnsmasqServer server(crawlerRecords());
    for (const auto& file : stdfs::directory_iterator(TRAWLMETER_RANGES_DIR)) {
        stdfs::copy_file(file.path(), folder.path() / file.path().filename());
    }
    VerificationSettings settings;
    settings.resolver.server = server.server();
    std::vector<VerificationProgress> progress;
    const auto verification = verifyCrawlers(folder.str(), database, kClients, settings,
                                             [&](const VerificationProgress& now) {
                                                 progress.push_back(now);
                                                 return true;
                                             });
    ASSERT_TRUE(verification) << verification.error().subject;
    EXPECT_FALSE(verification->cacheFailure);
    EXPECT_EQ(testing::readRows(database, "SELECT engine, address, verdict FROM verdicts "
                                          "WHERE verdict = 'verified' ORDER BY 1, 2"),
              (std::vector<testing::Row>{{"baidu", "220.181.108.75", "verified"},
                                         {"google", "2001:db8::c1", "verified"},
                                         {"sogou", "::ffff:123.126.113.1", "verified"}}));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().total, 12u);
    EXPECT_EQ(progress.front().decided, 3u) << "the ranges' and the one that is no address";

    folder.writeFile("bingbot.json", R"({"prefixes": []})");
    const auto refused = verifyCrawlers(folder.str(), database, kClients, settings);
    ASSERT_FALSE(refused);
    EXPECT_EQ(stdfs::path(refused.error().subject).filename(), "bingbot.json");
}

} // namespace
} // namespace trawlmeter::verify
