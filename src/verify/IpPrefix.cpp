#include "verify/IpPrefix.h"

#include <charconv>
#include <cstddef>
#include <cstdint>

namespace trawlmeter::verify {

std::optional<IpPrefix> IpPrefix::parse(std::string_view text) {
    const auto slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto address = IpAddress::parse(text.substr(0, slash));
    const auto digits = text.substr(slash + 1);
    int length = -1;
    const auto* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, length);
    const bool plain = !digits.empty() && digits.size() <= 3 && error == std::errc() &&
                       stop == end && (digits.front() != '0' || digits.size() == 1);
    if (!address || !plain || length < 0 || length > static_cast<int>(address->size() * 8)) {
        return std::nullopt;
    }
    return IpPrefix{*address, length};
}

bool IpPrefix::contains(const IpAddress& candidate) const {
    const IpAddress address = candidate.unmapped();
    if (address.family != network.family) {
        return false;
    }
    const auto whole = static_cast<std::size_t>(length / 8);
    for (std::size_t i = 0; i < whole; ++i) {
        if (address.bytes[i] != network.bytes[i]) {
            return false;
        }
    }
    const int rest = length % 8;
    if (rest == 0) {
        return true;
    }
    const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (address.bytes[whole] & mask) == (network.bytes[whole] & mask);
}

} // namespace trawlmeter::verify
