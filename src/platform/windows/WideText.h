#pragma once

#include <string>
#include <string_view>

// Text as Windows takes it: the program keeps every text, paths included, in UTF-8, and every
// call into Windows takes and gives UTF-16.
namespace trawlmeter::windows {

// UTF-16 of UTF-8 text; a byte that is not UTF-8 becomes U+FFFD.
std::wstring wideText(std::string_view utf8);

// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string utf8Text(std::wstring_view wide);

// A path for a Windows call: UTF-16 with backslashes, and where it is too long for the
// classic limit of 260 characters, made absolute and prefixed with \\?\ (\\?\UNC\ for a share),
// which lifts the limit whatever the system's settings.
std::wstring widePath(std::string_view utf8);

} // namespace trawlmeter::windows
