#include "verify/HostDomains.h"

#include "platform/AsciiCase.h"

namespace trawlmeter::verify {
namespace {

bool wellFormed(std::string_view name) {
    return !name.empty() && name.front() != '.' && name.find("..") == std::string_view::npos &&
           name.find('\\') == std::string_view::npos;
}

} // namespace

bool hostInDomains(std::string_view host, std::span<const std::string_view> domains) {
    if (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    if (!wellFormed(host) || host.back() == '.') {
        return false;
    }
    for (const auto domain : domains) {
        if (!endsWithIgnoringAsciiCase(host, domain)) {
            continue;
        }
        // The whole name, or a label boundary right before the domain.
        if (host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

} // namespace trawlmeter::verify
