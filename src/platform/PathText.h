#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Paths as the program keeps them: UTF-8 text in the system's own spelling.
namespace trawlmeter {

// What the system writes between a folder and a name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for a character that ends a folder in a path: the separator, and '/' as well on Windows,
// which takes both.
bool isPathSeparator(char c);

// `folder`, the separator and `name`; a folder that ends in a separator (a root) gets none.
std::string joinPath(std::string_view folder, std::string_view name);

// A std::filesystem::path of UTF-8 text. Made from a std::string directly, a path takes the
// text in the system's narrow code page, which on Windows is not UTF-8.
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The UTF-8 text of a path.
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace trawlmeter
