#include "platform/DnsResolver.h"

#include "platform/AsciiCase.h"
#include "platform/Problem.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <ares.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <utility>

namespace trawlmeter::dns {
namespace {

#ifdef _WIN32
using PollEntry = WSAPOLLFD;
int pollSockets(PollEntry* entries, std::size_t count, int milliseconds) {
    return WSAPoll(entries, static_cast<ULONG>(count), milliseconds);
}
bool interrupted() {
    return false;
}
#else
using PollEntry = pollfd;
int pollSockets(PollEntry* entries, std::size_t count, int milliseconds) {
    const nfds_t entryCount = count;
    return ::poll(entries, entryCount, milliseconds);
}
bool interrupted() {
    return errno == EINTR;
}
#endif

// The DNS's numbers for the class and types asked for.
constexpr int kClassInternet = 1;
constexpr int kTypeA = 1;
constexpr int kTypePtr = 12;
constexpr int kTypeAaaa = 28;

class AresCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "c-ares"; }
    std::string message(int value) const override { return ares_strerror(value); }
};

// Once per process: on Windows this starts the socket library; nothing to undo at exit.
int initializeLibrary() {
    static const int status = ares_library_init(ARES_LIB_INIT_ALL);
    return status;
}

Outcome outcomeOf(int status) {
    switch (status) {
    case ARES_SUCCESS:
        return Outcome::Answered;
    case ARES_ENOTFOUND:
    // A name c-ares will not even send cannot be a name that exists.
    case ARES_EBADNAME:
        return Outcome::NoSuchName;
    case ARES_ENODATA:
        return Outcome::NoRecords;
    case ARES_ETIMEOUT:
        return Outcome::TimedOut;
    // c-ares also ends a question with this when every server refused it.
    case ARES_ECONNREFUSED:
        return Outcome::Unreachable;
    case ARES_ECANCELLED:
    case ARES_EDESTRUCTION:
        return Outcome::Cancelled;
    default:
        return Outcome::Failed;
    }
}

void addName(std::vector<std::string>& names, const char* name) {
    if (name == nullptr || *name == '\0') {
        return;
    }
    const std::string_view candidate(name);
    const bool repeated = std::any_of(names.begin(), names.end(), [&](const std::string& known) {
        return equalsIgnoringAsciiCase(known, candidate);
    });
    if (!repeated) {
        names.emplace_back(candidate);
    }
}

struct HostEntry {
    hostent* entry = nullptr;
    HostEntry() = default;
    HostEntry(const HostEntry&) = delete;
    HostEntry& operator=(const HostEntry&) = delete;
    ~HostEntry() {
        if (entry) {
            ares_free_hostent(entry);
        }
    }
};

// The names of a PTR reply: c-ares lists each record among the aliases and the last again as
// the name.
Answer namesOf(const unsigned char* reply, int length) {
    HostEntry host;
    const int status = ares_parse_ptr_reply(reply, length, nullptr, 0, AF_INET, &host.entry);
    Answer answer{outcomeOf(status), {}, {}};
    if (status != ARES_SUCCESS) {
        return answer;
    }
    for (char** alias = host.entry->h_aliases; alias && *alias; ++alias) {
        addName(answer.names, *alias);
    }
    addName(answer.names, host.entry->h_name);
    if (answer.names.empty()) {
        answer.outcome = Outcome::NoRecords;
    }
    return answer;
}

Answer addressesOf(const unsigned char* reply, int length, IpAddress::Family family) {
    HostEntry host;
    const int status = family == IpAddress::Family::V4
                           ? ares_parse_a_reply(reply, length, &host.entry, nullptr, nullptr)
                           : ares_parse_aaaa_reply(reply, length, &host.entry, nullptr, nullptr);
    Answer answer{outcomeOf(status), {}, {}};
    if (status != ARES_SUCCESS) {
        return answer;
    }
    const std::size_t size = family == IpAddress::Family::V4 ? 4 : 16;
    if (host.entry->h_length == static_cast<int>(size)) {
        for (char** bytes = host.entry->h_addr_list; bytes && *bytes; ++bytes) {
            IpAddress address;
            address.family = family;
            std::memcpy(address.bytes.data(), *bytes, size);
            answer.addresses.push_back(address);
        }
    }
    if (answer.addresses.empty()) {
        answer.outcome = Outcome::NoRecords;
    }
    return answer;
}

class AresResolver final : public Resolver {
public:
    explicit AresResolver(ares_channel channel) : m_channel(channel) {}
    AresResolver(const AresResolver&) = delete;
    AresResolver& operator=(const AresResolver&) = delete;
    ~AresResolver() override {
        // Questions still in flight end here without their handlers.
        m_closing = true;
        ares_destroy(m_channel);
    }

    void askHostNames(const IpAddress& address, AnswerHandler onAnswer) override {
        ask(address.reverseName(), kTypePtr,
            Question{this, std::move(onAnswer), true, address.family});
    }

    void askAddresses(const std::string& host, IpAddress::Family family,
                      AnswerHandler onAnswer) override {
        ask(host, family == IpAddress::Family::V4 ? kTypeA : kTypeAaaa,
            Question{this, std::move(onAnswer), false, family});
    }

    std::size_t pending() const override { return m_pending; }

    void waitForAnswers(std::chrono::steady_clock::time_point until) override;

    void cancelAll() override {
        handOverDeferred();
        ares_cancel(m_channel);
        rethrowFromHandler();
    }

private:
    struct Question {
        AresResolver* resolver;
        AnswerHandler onAnswer;
        bool reverse;
        IpAddress::Family family;
    };

    void ask(const std::string& name, int type, Question question) {
        auto owned = std::make_unique<Question>(std::move(question));
        ++m_pending;
        // c-ares may answer at once, as for a name it will not send; onReply owns it from here.
        m_asking = true;
        ares_query(m_channel, name.c_str(), kClassInternet, type, &AresResolver::onReply,
                   owned.release());
        m_asking = false;
    }

    static void onReply(void* argument, int status, int /*timeouts*/, unsigned char* reply,
                        int length) {
        std::unique_ptr<Question> question(static_cast<Question*>(argument));
        auto& self = *question->resolver;
        if (self.m_closing) {
            return;
        }
        // Nothing may unwind through c-ares' frames: a throw is kept until they are left.
        try {
            Answer answer = status != ARES_SUCCESS ? Answer{outcomeOf(status), {}, {}}
                            : question->reverse    ? namesOf(reply, length)
                                                   : addressesOf(reply, length, question->family);
            if (self.m_asking) {
                self.m_deferred.emplace_back(std::move(question->onAnswer), std::move(answer));
                return;
            }
            self.handOver(question->onAnswer, std::move(answer));
        } catch (...) {
            if (!self.m_thrown) {
                self.m_thrown = std::current_exception();
            }
        }
    }

    void handOver(AnswerHandler& onAnswer, Answer answer) {
        --m_pending;
        m_handedOver = true;
        onAnswer(std::move(answer));
    }

    void handOverDeferred() {
        auto deferred = std::exchange(m_deferred, {});
        for (auto& [onAnswer, answer] : deferred) {
            handOver(onAnswer, std::move(answer));
        }
    }

    void rethrowFromHandler() {
        if (m_thrown) {
            std::rethrow_exception(std::exchange(m_thrown, nullptr));
        }
    }

    ares_channel m_channel;
    std::size_t m_pending = 0;
    bool m_asking = false;
    bool m_closing = false;
    bool m_handedOver = false;
    std::vector<std::pair<AnswerHandler, Answer>> m_deferred;
    std::exception_ptr m_thrown;
};

void AresResolver::waitForAnswers(std::chrono::steady_clock::time_point until) {
    m_handedOver = false;
    handOverDeferred();
    while (!m_handedOver && m_pending > 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return;
        }
        std::array<ares_socket_t, ARES_GETSOCK_MAXNUM> sockets{};
        const int bits = ares_getsock(m_channel, sockets.data(), ARES_GETSOCK_MAXNUM);
        std::array<PollEntry, ARES_GETSOCK_MAXNUM> entries{};
        std::size_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const bool readable = ARES_GETSOCK_READABLE(bits, i);
            const bool writable = ARES_GETSOCK_WRITABLE(bits, i);
            if (readable || writable) {
                auto& entry = entries[count++];
                entry.fd = sockets[static_cast<std::size_t>(i)];
                entry.events =
                    static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
            }
        }
        // Until c-ares' next retry or `until`, whichever comes first, rounded up so that a wait
        // under a millisecond does not spin.
        const auto left = std::chrono::ceil<std::chrono::microseconds>(until - now);
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        timeval most{};
#ifdef _WIN32
        // Windows' timeval holds longs, of 32 bits there; a DNS wait is far shorter.
        most.tv_sec = static_cast<long>(seconds.count());
        most.tv_usec = static_cast<long>((left - seconds).count());
#else
        most.tv_sec = seconds.count();
        most.tv_usec = (left - seconds).count();
#endif
        timeval next{};
        const timeval* wait = ares_timeout(m_channel, &most, &next);
        const long long waitMicroseconds =
            static_cast<long long>(wait->tv_sec) * 1000000 + wait->tv_usec;
        const int milliseconds = static_cast<int>((waitMicroseconds + 999) / 1000);
        const int ready = pollSockets(entries.data(), count, milliseconds);
        if (ready < 0 && interrupted()) {
            continue;
        }
        if (ready > 0) {
            for (std::size_t i = 0; i < count; ++i) {
                const auto events = entries[i].revents;
                if (events == 0) {
                    continue;
                }
                const bool read = (events & (POLLIN | POLLERR | POLLHUP)) != 0;
                ares_process_fd(m_channel, read ? entries[i].fd : ARES_SOCKET_BAD,
                                (events & POLLOUT) != 0 ? entries[i].fd : ARES_SOCKET_BAD);
            }
        } else {
            // Only the retries and time-outs that are due.
            ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        }
        rethrowFromHandler();
    }
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '0' || error != std::errc() || stop != end ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

const std::error_category& aresCategory() {
    static const AresCategory category;
    return category;
}

Expected<ServerAddress> parseServerAddress(std::string_view text) {
    const auto bad = [&] { return fail(Problem::BadServerAddress, std::string(text)); };
    if (text.empty()) {
        return bad();
    }
    std::string_view host = text;
    std::optional<std::uint16_t> port = 53;
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return bad();
        }
        host = text.substr(1, close - 1);
        const auto rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return bad();
            }
            port = parsePort(rest.substr(1));
        }
    } else if (text.find(':') == text.rfind(':') && text.find(':') != std::string_view::npos) {
        // One colon: an IPv4 address and its port. More: a bare IPv6 address.
        host = text.substr(0, text.find(':'));
        port = parsePort(text.substr(text.find(':') + 1));
    }
    auto address = IpAddress::parse(host);
    // Brackets hold IPv6 only.
    if (!address || !port || (text.front() == '[' && address->family != IpAddress::Family::V6)) {
        return bad();
    }
    return ServerAddress{*address, *port};
}

Expected<std::unique_ptr<Resolver>> openResolver(const ResolverOptions& options) {
    if (const int status = initializeLibrary(); status != ARES_SUCCESS) {
        return fail({status, aresCategory()}, "c-ares");
    }
    ares_options settings{};
    settings.timeout = static_cast<int>(options.firstTryTimeout.count());
    settings.tries = options.tries;
    ares_channel channel = nullptr;
    if (const int status =
            ares_init_options(&channel, &settings, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
        status != ARES_SUCCESS) {
        return fail({status, aresCategory()}, "c-ares");
    }
    auto resolver = std::make_unique<AresResolver>(channel);
    if (options.server) {
        const auto& server = *options.server;
        ares_addr_port_node node{};
        if (server.address.family == IpAddress::Family::V4) {
            node.family = AF_INET;
            std::memcpy(&node.addr.addr4, server.address.bytes.data(), 4);
        } else {
            node.family = AF_INET6;
            std::memcpy(&node.addr.addr6, server.address.bytes.data(), 16);
        }
        node.udp_port = server.port;
        node.tcp_port = server.port;
        if (const int status = ares_set_servers_ports(channel, &node); status != ARES_SUCCESS) {
            return fail({status, aresCategory()}, server.address.toString());
        }
    }
    return resolver;
}

} // namespace trawlmeter::dns
