#pragma once

#include "platform/IpAddress.h"

#include <optional>
#include <string_view>

namespace trawlmeter::verify {

// An address range written as ADDRESS/LENGTH ("66.249.64.0/27", "2001:4860:4801:10::/64").
struct IpPrefix {
    IpAddress network;
    int length = 0;

    // Nothing unless the address parses and the length is a plain decimal within its family
    // (0 to 32, 0 to 128). Bits past the length are allowed and ignored.
    static std::optional<IpPrefix> parse(std::string_view text);
    // True when `address` (an IPv4-mapped IPv6 address as its IPv4 one) lies in the range.
    bool contains(const IpAddress& address) const;
};

} // namespace trawlmeter::verify
