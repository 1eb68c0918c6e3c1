#pragma once

#include <string>
#include <string_view>

// The texts of the messages a run shows, in one place.
namespace trawlmeter::messages {

inline constexpr const char* kTitle = "提示";
inline constexpr const char* kLogMissing = "所选择的日志文件不存在，请重新选择";
inline constexpr const char* kAnotherRun = "另一个分析正在使用此程序文件夹，请等它结束后再试";
// The reason for an archive or a folder that holds no log.
inline constexpr const char* kNoLogInside = "其中没有.log文件";

std::string workFolderUnusable(std::string_view path, std::string_view reason);
std::string logUnreadable(std::string_view path, std::string_view reason);
std::string splitFailed(std::string_view folder, std::string_view reason);
std::string chunkUnreadable(std::string_view path, std::string_view reason);
std::string databaseWriteFailed(std::string_view reason);
std::string databaseCloseFailed(std::string_view reason);
std::string reportFailed(std::string_view reason);
// The report was written but the desktop opened no browser for it: where it lies.
std::string reportNotOpened(std::string_view path);

} // namespace trawlmeter::messages
