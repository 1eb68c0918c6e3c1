#include "verify/DnsVerdicts.h"

#include "verify/HostDomains.h"

#include <algorithm>
#include <deque>

namespace trawlmeter::verify {
namespace {

// How often the progress handler hears of the look-ups, at most.
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// One look-up to ask: the reverse one of a question, or the forward one of one of its hosts.
struct Task {
    std::size_t question;
    std::optional<std::size_t> host;
};

class DnsAsker {
public:
    DnsAsker(std::span<const DnsQuestion> questions, dns::Resolver& resolver,
             const DnsLimits& limits)
        : m_questions(questions), m_resolver(resolver), m_limits(limits),
          m_open(questions.size(), 1) {
        m_limits.inFlight = std::max<std::size_t>(m_limits.inFlight, 1);
        m_run.findings.resize(questions.size());
        for (std::size_t i = 0; i < questions.size(); ++i) {
            m_tasks.push_back({i, std::nullopt});
        }
    }

    DnsRun run(const DnsProgress& progress) {
        auto nextProgress = std::chrono::steady_clock::now();
        for (;;) {
            launch();
            if (m_run.gaveUp || (m_resolver.pending() == 0 && m_tasks.empty())) {
                break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= m_limits.deadline) {
                m_run.timeRanOut = true;
                break;
            }
            if (progress && now >= nextProgress) {
                nextProgress = now + kProgressEvery;
                if (!progress(m_done)) {
                    m_run.stopped = true;
                    break;
                }
            }
            m_resolver.waitForAnswers(progress ? std::min(m_limits.deadline, nextProgress)
                                               : m_limits.deadline);
        }
        m_stopAsking = true;
        m_resolver.cancelAll();
        return std::move(m_run);
    }

private:
    void launch() {
        while (!m_stopAsking && !m_tasks.empty() && m_resolver.pending() < m_limits.inFlight) {
            const Task task = m_tasks.front();
            m_tasks.pop_front();
            ++m_run.questions;
            const auto& question = m_questions[task.question];
            if (!task.host) {
                m_resolver.askHostNames(question.address, [this, task](dns::Answer answer) {
                    onHostNames(task.question, std::move(answer));
                });
                continue;
            }
            const auto& host = m_run.findings[task.question].forward[*task.host].host;
            m_resolver.askAddresses(host, question.address.family,
                                    [this, task](dns::Answer answer) {
                                        onAddresses(task.question, *task.host, std::move(answer));
                                    });
        }
    }

    void noteReply(dns::Outcome outcome) {
        if (outcome == dns::Outcome::Cancelled || outcome == dns::Outcome::Unreachable) {
            return;
        }
        if (outcome != dns::Outcome::TimedOut) {
            m_run.replied = true;
        } else if (!m_run.replied) {
            // A whole try cycle passed with questions in flight and no reply to any.
            m_run.gaveUp = true;
            m_stopAsking = true;
        }
    }

    void onHostNames(std::size_t index, dns::Answer answer) {
        noteReply(answer.outcome);
        auto& findings = m_run.findings[index];
        findings.reverse = answer.outcome;
        findings.hosts = std::move(answer.names);
        for (const auto& host : findings.hosts) {
            if (hostInDomains(host, m_questions[index].domains)) {
                findings.forward.push_back({host, std::nullopt, false});
                m_tasks.push_back({index, findings.forward.size() - 1});
                ++m_open[index];
            }
        }
        close(index);
    }

    void onAddresses(std::size_t index, std::size_t host, dns::Answer answer) {
        noteReply(answer.outcome);
        auto& check = m_run.findings[index].forward[host];
        check.outcome = answer.outcome;
        const auto& address = m_questions[index].address;
        check.givesAddressBack = std::find(answer.addresses.begin(), answer.addresses.end(),
                                           address) != answer.addresses.end();
        close(index);
    }

    void close(std::size_t index) {
        if (--m_open[index] == 0) {
            m_done += m_questions[index].clients;
        }
    }

    std::span<const DnsQuestion> m_questions;
    dns::Resolver& m_resolver;
    DnsLimits m_limits;
    DnsRun m_run;
    std::deque<Task> m_tasks;
    // Look-ups of each question not answered yet.
    std::vector<std::size_t> m_open;
    std::size_t m_done = 0;
    bool m_stopAsking = false;
};

} // namespace

DnsRun askDns(std::span<const DnsQuestion> questions, dns::Resolver& resolver,
              const DnsLimits& limits, const DnsProgress& progress) {
    return DnsAsker(questions, resolver, limits).run(progress);
}

Judgement judgeByDns(const DnsFindings& findings, std::span<const std::string_view> domains) {
    if (!findings.reverse || !dns::isDefinitive(*findings.reverse)) {
        return {Verdict::Unknown, {}};
    }
    if (findings.hosts.empty()) {
        return {Verdict::Impostor, {}};
    }
    const HostCheck* first = nullptr;
    bool undecided = false;
    for (const auto& check : findings.forward) {
        if (!hostInDomains(check.host, domains)) {
            continue;
        }
        if (check.outcome == dns::Outcome::Answered && check.givesAddressBack) {
            return {Verdict::Verified, check.host};
        }
        first = first ? first : &check;
        undecided = undecided || !check.outcome || !dns::isDefinitive(*check.outcome);
    }
    if (!first) {
        return {Verdict::Impostor, findings.hosts.front()};
    }
    return {undecided ? Verdict::Unknown : Verdict::Impostor, first->host};
}

} // namespace trawlmeter::verify
