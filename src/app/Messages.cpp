#include "app/Messages.h"

#include "platform/Problem.h"

#include <cstdint>

namespace trawlmeter::messages {
namespace {

// The tail of a message that stops a run after some of it was stored.
constexpr std::string_view kStoppedRecordsKept = "，分析已停止；之前的记录已保存";

// "LEAD WHAT（REASON）TAIL", the way every message names what failed and why.
std::string withReason(std::string_view lead, std::string_view what, std::string_view reason,
                       std::string_view tail = "") {
    std::string text(lead);
    text += shown(what);
    text += "（";
    text += shown(reason);
    text += "）";
    text += tail;
    return text;
}

std::string quoted(std::string_view name) {
    std::string text(1, '"');
    text += name;
    text += '"';
    return text;
}

// The words for the program's own reasons.
std::string problemReason(Problem problem, const Failure& failure) {
    const std::string& detail = failure.detail;
    switch (problem) {
    case Problem::NotARegularFile:
        return "不是普通文件";
    case Problem::ShrankWhileRead:
        return "文件在读取过程中变短了";
    case Problem::IsASymbolicLink:
        return "是一个符号链接";
    case Problem::NotAFolder:
        return "不是文件夹";
    case Problem::NoLogInside:
        return "其中没有.log文件";
    case Problem::NoDatabase:
        return "no database is open";
    case Problem::DatabaseClosed:
        return "the database is closed";
    case Problem::NoRecordStarted:
        return "no record was started";
    case Problem::NoSuchTable:
        return "no such table: " + failure.subject;
    case Problem::MissingColumns:
        return "the table " + quoted(failure.subject) + " lacks the columns " + detail;
    case Problem::ColumnNeedsAValue:
        return "the column " + quoted(detail) + " of the table " + quoted(failure.subject) +
               " needs a value";
    case Problem::ReadOnlyDatabase:
        return "the database file is write-protected";
    case Problem::NoReportFormat:
        return "the report file must end in .html or .json: " + failure.subject;
    case Problem::DamagedLog:
        return detail.empty() ? "truncated or damaged" : detail;
    case Problem::WrongFormat:
        return "not a " + detail + " stream";
    case Problem::StreamInStream:
        return "a " + detail + " stream inside a " + detail + " stream";
    case Problem::EncryptedEntry:
        return "encrypted (" + (detail.empty() ? "truncated or damaged" : detail) + ")";
    case Problem::SparseEntry:
        return "a sparse entry, which no log is";
    case Problem::ShortEntry:
        return "truncated: " + detail;
    case Problem::TruncatedGzip:
        return "truncated";
    case Problem::GzipTrailersUnreadable:
        return "cannot read back its gzip trailers";
    case Problem::GzipCrcMismatch:
        return "damaged (CRC mismatch)";
    case Problem::GzipLengthMismatch:
        return "damaged (length mismatch)";
    case Problem::NotALogOfThisFile:
        return "not a log of this file";
    case Problem::EntryGone:
        return "no longer in the archive";
    case Problem::EntryMoved:
        return "no longer in the archive at its position";
    case Problem::Unexpected:
        return detail;
    case Problem::RecordIgnored:
        return "the table " + quoted(failure.subject) +
               " ignored the record (a trigger or a conflict clause dropped it)";
    case Problem::TextsNotKeptAsRead:
        return "the database keeps its texts as " + detail +
               ", which changes the bytes of a line that is not UTF-8";
    case Problem::GzipTrailingGarbage:
        return "damaged (trailing garbage after the gzip data)";
    case Problem::InWorkFolder:
        return "工作文件夹" + detail + "在每次分析开始时都会被清空";
    case Problem::NotATable:
        return quoted(failure.subject) + (detail.starts_with('i') ? " is an " : " is a ") + detail +
               ", not a table";
    case Problem::BadServerAddress:
        return "不是 DNS 服务器的地址（应为 地址 或 地址:端口）";
    case Problem::MalformedRangeFile:
        return "不是有效的爬虫地址段文件：" + detail;
    case Problem::RangeFileWithoutPrefixes:
        return "爬虫地址段文件中没有任何地址段";
    case Problem::UnusableVerdictTable:
        return "验证结果表缺少列 " + detail;
    case Problem::Stopped:
        break;
    }
    return failure.code.message();
}

} // namespace

std::string shown(std::string_view text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    const auto escapeByte = [&](unsigned char byte) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xf];
    };
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7f) {
                escapeByte(lead);
            } else {
                out += static_cast<char>(lead);
            }
            ++at;
            continue;
        }
        const std::size_t length = (lead & 0xe0) == 0xc0   ? 2
                                   : (lead & 0xf0) == 0xe0 ? 3
                                   : (lead & 0xf8) == 0xf0 ? 4
                                                           : 0;
        std::uint32_t code = length == 2 ? lead & 0x1fU : length == 3 ? lead & 0x0fU : lead & 0x07U;
        bool whole = length != 0 && at + length <= text.size();
        for (std::size_t next = 1; whole && next < length; ++next) {
            const auto part = static_cast<unsigned char>(text[at + next]);
            whole = (part & 0xc0) == 0x80;
            code = code << 6 | (part & 0x3fU);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (!whole || code < least || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            escapeByte(lead);
            ++at;
            continue;
        }
        const bool control = code <= 0x9f || code == 0x61c || code == 0x200e || code == 0x200f ||
                             (code >= 0x202a && code <= 0x202e) ||
                             (code >= 0x2066 && code <= 0x2069);
        if (control) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(code >> shift) & 0xf];
            }
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string logMissing(std::string_view path) {
    return "日志文件不存在：" + shown(path);
}

std::string splitDone(std::string_view chunkCount) {
    return "分割完成，共分成 " + std::string(chunkCount) + " 个临时日志文件";
}

std::string analysingChunk(std::int64_t number) {
    return "正在分析第 " + std::to_string(number) + " 个临时日志文件";
}

std::string reason(const Failure& failure) {
    if (failure.code.category() == problemCategory()) {
        return problemReason(static_cast<Problem>(failure.code.value()), failure);
    }
    // SQLite's own words name the constraint or the table; its code's text is more general.
    if (failure.code.category() == sqliteCategory() && !failure.detail.empty()) {
        return failure.detail;
    }
    return failure.code.message();
}

std::string workFolderUnusable(const Failure& failure) {
    return withReason("工作文件夹不可用：", failure.subject, reason(failure));
}

std::string logUnreadable(const Failure& failure, EarlierRecords earlier) {
    return withReason("无法读取日志文件：", failure.subject, reason(failure),
                      earlier == EarlierRecords::Kept ? kStoppedRecordsKept : "");
}

std::string logInWorkFolder(const Failure& failure) {
    return withReason("日志位于工作文件夹中，不能分析：", failure.subject, reason(failure),
                      "，请先把它移到别处，分析未进行");
}

std::string splitFailed(std::string_view folder, const Failure& failure, EarlierRecords earlier) {
    return withReason("切分日志文件失败：", folder, reason(failure),
                      earlier == EarlierRecords::Kept ? kStoppedRecordsKept : "，分析未进行");
}

std::string chunkUnreadable(const Failure& failure) {
    return withReason("无法读取临时日志文件：", failure.subject, reason(failure),
                      kStoppedRecordsKept);
}

std::string databaseWriteFailed(const Failure& failure) {
    return withReason("无法写入rezOve.mdb数据库", "", reason(failure), kStoppedRecordsKept);
}

std::string databaseCloseFailed(const Failure& failure) {
    return withReason("无法写入rezOve.mdb数据库", "", reason(failure), "，最后写入的记录没有保存");
}

std::string analysisFailed(const Failure& failure) {
    return withReason("分析出错", "", reason(failure), "，分析已停止；之前的记录已保存");
}

std::string crawlerListUnusable(const Failure& failure) {
    return withReason("无法使用已知爬虫列表：", failure.subject,
                      failure.detail.empty() ? reason(failure) : failure.detail, "，分析未进行");
}

std::string crawlerSearchFailed(const Failure& failure) {
    return withReason("无法在日志行中查找已知爬虫：", failure.subject,
                      failure.detail.empty() ? reason(failure) : failure.detail,
                      "，分析已停止；之前的记录已保存");
}

std::string reportFailed(const Failure& failure, std::string_view database) {
    std::string why;
    if (failure.code == Problem::NoSuchTable) {
        why = "the visit database has no table " + quoted(failure.subject);
    } else if (failure.code.category() == problemCategory() &&
               failure.code != Problem::Unexpected) {
        why = reason(failure);
    } else if (failure.code.category() == sqliteCategory()) {
        why = failure.subject == database
                  ? "cannot read the visit database " + failure.subject + ": " + reason(failure)
                  : "cannot read the table " + quoted(failure.subject) + ": " + reason(failure);
    } else if (failure.subject.empty()) {
        why = "cannot collect the report: " + reason(failure);
    } else {
        why = "cannot write the report " + failure.subject + ": " + reason(failure);
    }
    return withReason("无法生成爬虫报告", "", why);
}

std::string reportNotVerified(const Failure& failure) {
    return withReason("无法验证爬虫地址：", failure.subject, reason(failure), "，爬虫报告没有生成");
}

std::string reportNotOpened(std::string_view path) {
    return "爬虫报告已保存到" + shown(path) + "，但无法打开浏览器显示它";
}

std::string reportProgress(const ReportProgress& progress) {
    switch (progress.stage) {
    case ReportStage::Counting:
        break;
    case ReportStage::Verifying:
        return "正在验证爬虫地址 " + std::to_string(progress.decided) + "/" +
               std::to_string(progress.total);
    case ReportStage::Writing:
        return "正在写入爬虫报告...";
    }
    return "正在统计爬虫访问...";
}

} // namespace trawlmeter::messages
