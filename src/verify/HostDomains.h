#pragma once

#include <span>
#include <string_view>

namespace trawlmeter::verify {

// True when `host` is one of `domains` or lies under one, matched by whole labels in any
// letter case: "crawl-1.googlebot.com" and "GOOGLEBOT.COM." are under googlebot.com,
// "evilgooglebot.com" and "googlebot.com.evil.example" are not. A name with an empty label or
// an escaped character (a backslash, as c-ares writes a dot inside a label) is under none.
bool hostInDomains(std::string_view host, std::span<const std::string_view> domains);

} // namespace trawlmeter::verify
