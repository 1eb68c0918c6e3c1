#pragma once

#include <array>
#include <string_view>

namespace trawlmeter::analysis {

// The crawler tokens in test order: Baidu, Google, Yahoo, Sogou, Msn.
inline constexpr std::array<std::string_view, 5> kCrawlerTokens{"baiduspider", "googlebot", "yahoo",
                                                                "sogou", "msn"};

// The position in kCrawlerTokens of the first token, in test order, that occurs anywhere in
// the ASCII-lower-cased item; -1 when none does.
int findCrawlerToken(std::string_view item);

// The same answer by the plain route (lower-case a copy, search each token in turn); the
// reference the fast search is held to.
int findCrawlerTokenPlainly(std::string_view item);

} // namespace trawlmeter::analysis
