#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trawlmeter {

// An IPv4 or IPv6 address: its bytes in network order.
struct IpAddress {
    enum class Family : std::uint8_t { V4, V6 };

    Family family = Family::V4;
    // An IPv4 address fills the first four.
    std::array<std::uint8_t, 16> bytes{};

    bool operator==(const IpAddress&) const = default;
    std::size_t size() const { return family == Family::V4 ? 4 : 16; }

    // Dotted decimal ("66.249.66.1") or an IPv6 text form ("2001:db8::1", "::ffff:1.2.3.4");
    // nothing for any other text: no shortened or zero-padded IPv4, no zone, no brackets, no
    // prefix length, no spaces.
    static std::optional<IpAddress> parse(std::string_view text);
    // Dotted decimal, or IPv6 in lower case with the longest run of zeros compressed.
    std::string toString() const;
    // An IPv4 address mapped into IPv6 (::ffff:a.b.c.d) as the IPv4 address it stands for;
    // any other address as it is.
    IpAddress unmapped() const;
    // The name a reverse look-up asks for: "1.66.249.66.in-addr.arpa", or the 32 nibbles of an
    // IPv6 address, last first, under "ip6.arpa".
    std::string reverseName() const;
};

struct IpAddressHash {
    std::size_t operator()(const IpAddress& address) const noexcept;
};

} // namespace trawlmeter
