#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/ReportProgress.h"
#include "platform/Failure.h"

// Every text the operator reads that the program makes as it runs, in one place: the message
// boxes, the status lines, and the words for why something failed. The window's own captions
// are in its layout (app/FormLayout.cpp).
namespace trawlmeter::messages {

inline constexpr const char* kTitle = "提示";
inline constexpr const char* kLogMissing = "所选择的日志文件不存在，请重新选择";
inline constexpr const char* kAnotherRun = "另一个分析正在使用此程序文件夹，请等它结束后再试";

// Start-up: the database is missing, or cannot be used; the title asks for a restart.
inline constexpr const char* kDatabaseMissing =
    "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下";
inline constexpr const char* kDatabaseUnusable =
    "无法打开rezOve.mdb数据库文件，请确认数据库文件完好且没有被其他程序占用";
inline constexpr const char* kRestartTitle = "请重新运行程序";

// Why the window holds the end of the Windows session up while a run stops.
inline constexpr const char* kStoppingForSessionEnd = "正在停止分析，请稍候";

// The status lines.
inline constexpr const char* kSplitting = "正在分割...";
inline constexpr const char* kChunksDeleted = "临时日志文件已删除";
inline constexpr const char* kAnalysisDone = "分析完成";
inline constexpr const char* kAnalysisUnfinished = "分析未完成";
std::string splitDone(std::string_view chunkCount);
// `number` counts from 1.
std::string analysingChunk(std::int64_t number);

// Why something failed, in the operator's words.
std::string reason(const Failure& failure);

// Whether a run that stops had stored records of its log before: a message then says that they
// are kept.
enum class EarlierRecords { None, Kept };

// A name as a message shows it: control characters (C0, DEL, C1), the controls that turn the
// direction of text, and bytes that are no UTF-8 are written as \xNN or \uNNNN, so a name can
// neither move the cursor, clear a terminal, forge a line of its own nor reverse what follows;
// every other character, Chinese included, stays as it is. Every message goes through it.
std::string shown(std::string_view text);

// "LEAD SUBJECT（REASON）TAIL": each message names what failed and why.
std::string workFolderUnusable(const Failure& failure);
std::string logUnreadable(const Failure& failure, EarlierRecords earlier = EarlierRecords::None);
// The batch's word for one of several logs that does not exist (the window keeps kLogMissing).
std::string logMissing(std::string_view path);
// A log inside the work folder, which every run empties first: nothing is analysed.
std::string logInWorkFolder(const Failure& failure);
// Names the work folder the chunks were being written to.
std::string splitFailed(std::string_view folder, const Failure& failure,
                        EarlierRecords earlier = EarlierRecords::None);
std::string chunkUnreadable(const Failure& failure);
std::string databaseWriteFailed(const Failure& failure);
std::string databaseCloseFailed(const Failure& failure);
// The run itself could not go on: memory or a thread it needed could not be had.
std::string analysisFailed(const Failure& failure);
// The list of known crawlers compiled into the program cannot be used.
std::string crawlerListUnusable(const Failure& failure);
// A user agent could not be searched for the known crawlers.
std::string crawlerSearchFailed(const Failure& failure);
// `database` tells a failure of the visit database itself from one of its tables.
std::string reportFailed(const Failure& failure, std::string_view database);
// The crawler addresses could not be verified (a range file, the resolver), so no report.
std::string reportNotVerified(const Failure& failure);
// The report was written but the desktop opened no browser for it: where it lies.
std::string reportNotOpened(std::string_view path);
// The status line while a report is made.
std::string reportProgress(const ReportProgress& progress);

} // namespace trawlmeter::messages
