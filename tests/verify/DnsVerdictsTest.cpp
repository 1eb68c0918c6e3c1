#include "support/ShippedEngines.h"
#include "verify/DnsVerdicts.h"

#include <gtest/gtest.h>

namespace trawlmeter::verify {
namespace {

using dns::Outcome;

struct Rule {
    const char* what;
    DnsFindings findings;
    Verdict verdict;
    const char* host;
};

HostCheck checked(const char* host, std::optional<Outcome> outcome, bool givesAddressBack) {
    return {host, outcome, givesAddressBack};
}

TEST(DnsVerdicts, OnlyAgreeingLookupsVerifyAndOnlyDefinitiveAnswersAccuse) {
    const std::vector<Rule> rules{
        {"reverse never asked", {}, Verdict::Unknown, ""},
        {"reverse timed out", {Outcome::TimedOut, {}, {}}, Verdict::Unknown, ""},
        {"server failed", {Outcome::Failed, {}, {}}, Verdict::Unknown, ""},
        {"server refused", {Outcome::Unreachable, {}, {}}, Verdict::Unknown, ""},
        {"no such name", {Outcome::NoSuchName, {}, {}}, Verdict::Impostor, ""},
        {"no PTR record", {Outcome::NoRecords, {}, {}}, Verdict::Impostor, ""},
        {"host outside the domains",
         {Outcome::Answered, {"crawl.googlebot.com.evil.example"}, {}},
         Verdict::Impostor,
         "crawl.googlebot.com.evil.example"},
        {"forward gives the address back",
         {Outcome::Answered,
          {"a.example", "crawl-1.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::Answered, true)}},
         Verdict::Verified,
         "crawl-1.googlebot.com"},
        {"forward gives another address",
         {Outcome::Answered,
          {"crawl-1.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::Answered, false)}},
         Verdict::Impostor,
         "crawl-1.googlebot.com"},
        {"forward: no such name",
         {Outcome::Answered,
          {"crawl-1.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::NoSuchName, false)}},
         Verdict::Impostor,
         "crawl-1.googlebot.com"},
        {"forward timed out",
         {Outcome::Answered,
          {"crawl-1.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::TimedOut, false)}},
         Verdict::Unknown,
         "crawl-1.googlebot.com"},
        {"forward never asked",
         {Outcome::Answered,
          {"crawl-1.googlebot.com"},
          {checked("crawl-1.googlebot.com", std::nullopt, false)}},
         Verdict::Unknown,
         "crawl-1.googlebot.com"},
        {"one host of two agrees",
         {Outcome::Answered,
          {"crawl-1.googlebot.com", "crawl-2.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::Answered, false),
           checked("crawl-2.googlebot.com", Outcome::Answered, true)}},
         Verdict::Verified,
         "crawl-2.googlebot.com"},
        {"one host refutes, the other is undecided",
         {Outcome::Answered,
          {"crawl-1.googlebot.com", "crawl-2.googlebot.com"},
          {checked("crawl-1.googlebot.com", Outcome::NoRecords, false),
           checked("crawl-2.googlebot.com", Outcome::Failed, false)}},
         Verdict::Unknown,
         "crawl-1.googlebot.com"},
    };
    const auto google = testing::identityOf("google").domains;
    for (const auto& rule : rules) {
        const auto judgement = judgeByDns(rule.findings, google);
        EXPECT_EQ(judgement.verdict, rule.verdict) << rule.what;
        EXPECT_EQ(judgement.host, rule.host) << rule.what;
    }
}

} // namespace
} // namespace trawlmeter::verify
