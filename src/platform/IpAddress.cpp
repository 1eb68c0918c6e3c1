#include "platform/IpAddress.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cstring>
#include <functional>

namespace trawlmeter {
namespace {

// Longer than any address text, shorter than any line worth parsing.
constexpr std::size_t kLongestText = 63;

constexpr std::array<std::uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

int systemFamily(IpAddress::Family family) {
    return family == IpAddress::Family::V4 ? AF_INET : AF_INET6;
}

} // namespace

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
    if (text.empty() || text.size() > kLongestText) {
        return std::nullopt;
    }
    char terminated[kLongestText + 1];
    std::memcpy(terminated, text.data(), text.size());
    terminated[text.size()] = '\0';
    // The system's converter is strict where it matters: four decimal parts without leading
    // zeros for IPv4, nothing after the address.
    IpAddress address;
    for (const auto family : {Family::V4, Family::V6}) {
        address.family = family;
        address.bytes = {};
        if (inet_pton(systemFamily(family), terminated, address.bytes.data()) == 1) {
            return address;
        }
    }
    return std::nullopt;
}

std::string IpAddress::toString() const {
    char text[64];
    if (!inet_ntop(systemFamily(family), bytes.data(), text, sizeof text)) {
        return {};
    }
    return text;
}

IpAddress IpAddress::unmapped() const {
    if (family != Family::V6 ||
        !std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), bytes.begin())) {
        return *this;
    }
    IpAddress v4;
    std::copy(bytes.begin() + 12, bytes.end(), v4.bytes.begin());
    return v4;
}

std::string IpAddress::reverseName() const {
    std::string name;
    if (family == Family::V4) {
        for (int i = 3; i >= 0; --i) {
            name += std::to_string(bytes[static_cast<std::size_t>(i)]);
            name += '.';
        }
        return name + "in-addr.arpa";
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i) {
        const auto byte = bytes[static_cast<std::size_t>(i)];
        name += kHex[byte & 0x0f];
        name += '.';
        name += kHex[byte >> 4];
        name += '.';
    }
    return name + "ip6.arpa";
}

std::size_t IpAddressHash::operator()(const IpAddress& address) const noexcept {
    const std::string_view bytes(reinterpret_cast<const char*>(address.bytes.data()),
                                 address.size());
    return std::hash<std::string_view>{}(bytes);
}

} // namespace trawlmeter
