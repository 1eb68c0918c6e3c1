#include "platform/DnsResolver.h"
#include "platform/Problem.h"
#include "support/DnsmasqServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>

namespace trawlmeter {
namespace {

using dns::Outcome;
using namespace std::chrono_literals;

std::unique_ptr<dns::Resolver> openFor(const dns::ServerAddress& server,
                                       std::chrono::milliseconds firstTry = 2s, int tries = 2) {
    auto resolver = dns::openResolver(testing::resolverOptions(server, firstTry, tries));
    EXPECT_TRUE(resolver) << resolver.error().code.message();
    return resolver ? std::move(*resolver) : nullptr;
}

void waitForAll(dns::Resolver& resolver) {
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (resolver.pending() > 0 && std::chrono::steady_clock::now() < until) {
        resolver.waitForAnswers(until);
    }
    ASSERT_EQ(resolver.pending(), 0u);
}

// Questions asked together; each answer kept under its label.
struct Answers {
    std::map<std::string, dns::Answer> byLabel;
    int handedOver = 0;
    dns::AnswerHandler keep(const std::string& label) {
        return [this, label](dns::Answer answer) {
            ++handedOver;
            byLabel[label] = std::move(answer);
        };
    }
};

std::vector<std::string> texts(const std::vector<IpAddress>& addresses) {
    std::vector<std::string> texts;
    for (const auto& address : addresses) {
        texts.push_back(address.toString());
    }
    return texts;
}

TEST(DnsResolver, HandsOverWhatTheServerHoldsForManyQuestionsInFlight) {
    testing::DnsRecords records;
    records.localDomains = {"in-addr.arpa", "ip6.arpa", "googlebot.com"};
    records.ptr = {{"66.249.66.1", "crawl-66-249-66-1.googlebot.com"},
                   {"66.249.66.1", "second.googlebot.com"}};
    records.hosts = {{"crawl-66-249-66-1.googlebot.com", "66.249.66.1"},
                     {"both.googlebot.com", "66.249.66.2,2001:db8::2"}};
    const testing::DnsmasqServer server(records);
    const auto resolver = openFor(server.server());
    ASSERT_TRUE(resolver);

    Answers answers;
    const auto v4 = IpAddress::Family::V4;
    const auto v6 = IpAddress::Family::V6;
    resolver->askHostNames(*IpAddress::parse("66.249.66.1"), answers.keep("two names"));
    resolver->askHostNames(*IpAddress::parse("198.51.100.7"), answers.keep("no name"));
    resolver->askHostNames(*IpAddress::parse("2001:db8::2"), answers.keep("v6 name"));
    resolver->askAddresses("CRAWL-66-249-66-1.googlebot.com.", v4, answers.keep("v4"));
    resolver->askAddresses("both.googlebot.com", v6, answers.keep("v6"));
    resolver->askAddresses("crawl-66-249-66-1.googlebot.com", v6, answers.keep("no v6"));
    resolver->askAddresses("nothing.googlebot.com", v4, answers.keep("no host"));
    resolver->askAddresses("outside.example", v4, answers.keep("refused"));
    EXPECT_EQ(answers.handedOver, 0) << "no handler runs within the call that asks";
    EXPECT_EQ(resolver->pending(), 8u);
    waitForAll(*resolver);

    auto& got = answers.byLabel;
    EXPECT_EQ(got["two names"].outcome, Outcome::Answered);
    auto names = got["two names"].names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"crawl-66-249-66-1.googlebot.com",
                                               "second.googlebot.com"}));
    EXPECT_EQ(got["no name"].outcome, Outcome::NoSuchName);
    EXPECT_EQ(got["v6 name"].names, std::vector<std::string>{"both.googlebot.com"});
    EXPECT_EQ(got["v4"].outcome, Outcome::Answered);
    EXPECT_EQ(texts(got["v4"].addresses), std::vector<std::string>{"66.249.66.1"});
    EXPECT_EQ(texts(got["v6"].addresses), std::vector<std::string>{"2001:db8::2"});
    EXPECT_EQ(got["no v6"].outcome, Outcome::NoRecords);
    EXPECT_EQ(got["no host"].outcome, Outcome::NoSuchName);
    // A server that refuses tells nothing of the name.
    EXPECT_EQ(got["refused"].outcome, Outcome::Unreachable);
    EXPECT_FALSE(dns::isDefinitive(got["refused"].outcome));
}

TEST(DnsResolver, AsksAServerAtAnIpv6Address) {
    testing::DnsRecords records;
    records.ptr = {{"2001:db8::7", "crawl.example"}};
    const testing::DnsmasqServer server(records);
    if (!server.listensOnIpv6()) {
        GTEST_SKIP() << "this machine has no ::1";
    }
    auto address = dns::parseServerAddress("[::1]:" + std::to_string(server.port()));
    ASSERT_TRUE(address);
    const auto resolver = openFor(*address);
    ASSERT_TRUE(resolver);
    Answers answers;
    resolver->askHostNames(*IpAddress::parse("2001:db8::7"), answers.keep("name"));
    waitForAll(*resolver);
    EXPECT_EQ(answers.byLabel["name"].names, std::vector<std::string>{"crawl.example"});
}

TEST(DnsResolver, AClosedPortIsUnreachableAndASilentOneTimesOutAfterEveryTry) {
    const auto closed = openFor(testing::closedDnsPort());
    const testing::SilentDnsPort silentPort;
    const auto silent = openFor(silentPort.server(), 100ms, 2);
    ASSERT_TRUE(closed && silent);
    Answers answers;
    closed->askHostNames(*IpAddress::parse("66.249.66.1"), answers.keep("closed"));
    silent->askHostNames(*IpAddress::parse("66.249.66.1"), answers.keep("silent"));
    const auto start = std::chrono::steady_clock::now();
    waitForAll(*closed);
    waitForAll(*silent);
    EXPECT_EQ(answers.byLabel["closed"].outcome, Outcome::Unreachable);
    EXPECT_EQ(answers.byLabel["silent"].outcome, Outcome::TimedOut);
    // The second try waits twice as long as the first.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(DnsResolver, CancellingEndsEveryPendingQuestionNow) {
    const testing::SilentDnsPort silentPort;
    const auto resolver = openFor(silentPort.server(), 10s, 2);
    ASSERT_TRUE(resolver);
    Answers answers;
    resolver->askHostNames(*IpAddress::parse("66.249.66.1"), answers.keep("names"));
    resolver->askAddresses("crawl.googlebot.com", IpAddress::Family::V6, answers.keep("v6"));
    resolver->waitForAnswers(std::chrono::steady_clock::now() + 50ms);
    EXPECT_EQ(answers.handedOver, 0);
    resolver->cancelAll();
    EXPECT_EQ(resolver->pending(), 0u);
    EXPECT_EQ(answers.byLabel["names"].outcome, Outcome::Cancelled);
    EXPECT_EQ(answers.byLabel["v6"].outcome, Outcome::Cancelled);
}

TEST(DnsResolver, ServerAddressesTakeAnOptionalPortAndBracketsForIpv6WithOne) {
    const auto parsed = [](const char* text) -> std::string {
        auto server = dns::parseServerAddress(text);
        return server ? server->address.toString() + " " + std::to_string(server->port) : "-";
    };
    EXPECT_EQ(parsed("127.0.0.1"), "127.0.0.1 53");
    EXPECT_EQ(parsed("127.0.0.1:5353"), "127.0.0.1 5353");
    EXPECT_EQ(parsed("192.0.2.1:65535"), "192.0.2.1 65535");
    EXPECT_EQ(parsed("::1"), "::1 53");
    EXPECT_EQ(parsed("2001:db8::53"), "2001:db8::53 53");
    EXPECT_EQ(parsed("[::1]"), "::1 53");
    EXPECT_EQ(parsed("[2001:db8::53]:5353"), "2001:db8::53 5353");
    for (const char* bad : {"", ":53", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                            "127.0.0.1:053", "127.0.0.1:53x", "[127.0.0.1]:53", "[::1", "[::1]53",
                            "[::1]:", "dns.example:53", "dns.example"}) {
        const auto server = dns::parseServerAddress(bad);
        ASSERT_FALSE(server) << bad;
        EXPECT_EQ(server.error().code, Problem::BadServerAddress);
        EXPECT_EQ(server.error().subject, bad);
    }
}

} // namespace
} // namespace trawlmeter
