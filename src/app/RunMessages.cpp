#include "app/RunMessages.h"

namespace trawlmeter::messages {
namespace {

// "LEAD PATH（REASON）TAIL", the way every message names what failed and why.
std::string withReason(std::string_view lead, std::string_view what, std::string_view reason,
                       std::string_view tail = "") {
    std::string text(lead);
    text += what;
    text += "（";
    text += reason;
    text += "）";
    text += tail;
    return text;
}

} // namespace

std::string workFolderUnusable(std::string_view path, std::string_view reason) {
    return withReason("工作文件夹不可用：", path, reason);
}

std::string logUnreadable(std::string_view path, std::string_view reason) {
    return withReason("无法读取日志文件：", path, reason);
}

std::string splitFailed(std::string_view folder, std::string_view reason) {
    return withReason("切分日志文件失败：", folder, reason, "，分析未进行");
}

std::string chunkUnreadable(std::string_view path, std::string_view reason) {
    return withReason("无法读取临时日志文件：", path, reason, "，分析已停止；之前的记录已保存");
}

std::string databaseWriteFailed(std::string_view reason) {
    return withReason("无法写入rezOve.mdb数据库", "", reason, "，分析已停止；之前的记录已保存");
}

std::string databaseCloseFailed(std::string_view reason) {
    return withReason("无法写入rezOve.mdb数据库", "", reason, "，最后写入的记录没有保存");
}

std::string reportFailed(std::string_view reason) {
    return withReason("无法生成爬虫报告", "", reason);
}

std::string reportNotOpened(std::string_view path) {
    return "爬虫报告已保存到" + std::string(path) + "，但无法打开浏览器显示它";
}

} // namespace trawlmeter::messages
