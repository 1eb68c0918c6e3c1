#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trawlmeter::crawlers {

inline constexpr std::size_t kMaxNameSize = 40;

// A short readable name for the crawler a pattern of the list finds, the same for every user
// agent the pattern matches. It is the text the pattern starts with (an upper-case letter for a
// class of one letter's two cases, the first choice of an alternation, up to a construct that
// matches other texts), from after a leading "http://" or "https://" up to the first "/" or "(",
// without spaces and punctuation at its ends, and at most kMaxNameSize bytes: "Googlebot\/"
// gives "Googlebot", "[wW]get" "Wget", "yandex\.com\/bots" "yandex.com". A pattern that starts
// with no such text gives its longest plain text instead, one with none its description; when
// even that leaves nothing, "unnamed crawler".
std::string crawlerNameOf(std::string_view pattern, std::string_view description = {});

} // namespace trawlmeter::crawlers
