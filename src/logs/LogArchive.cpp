#include "logs/LogArchive.h"

#include "logs/LogStream.h"

#include <archive.h>

#include <algorithm>

namespace trawlmeter::logs {

std::string LogEntry::label() const {
    return memberIndex < 0 ? path : path + ":" + member;
}

Expected<std::vector<LogEntry>> listLogs(const std::string& path) {
    if (logKindOf(path) != LogKind::Archive) {
        return std::vector<LogEntry>{LogEntry{path, "", -1}};
    }
    auto stream = LogStream::open(path);
    if (!stream) {
        return tl::unexpected(stream.error());
    }
    std::vector<LogEntry> logs;
    for (;;) {
        auto member = stream->nextMember();
        if (!member) {
            return tl::unexpected(member.error());
        }
        if (!*member) {
            break;
        }
        if ((*member)->isLog) {
            logs.push_back(LogEntry{path, std::move((*member)->name), (*member)->index});
        }
    }
    std::stable_sort(logs.begin(), logs.end(),
                     [](const LogEntry& a, const LogEntry& b) { return a.member < b.member; });
    return logs;
}

bool membersCheckThemselves(const std::string& path) {
    return logFormatOf(path).archive != ARCHIVE_FORMAT_TAR;
}

Expected<bool> verifyLogs(const std::string& path, const std::function<bool()>& keepGoing) {
    if (logKindOf(path) == LogKind::Plain) {
        return true;
    }
    auto stream = LogStream::open(path);
    if (!stream) {
        return tl::unexpected(stream.error());
    }
    for (;;) {
        auto member = stream->nextMember();
        if (!member) {
            return tl::unexpected(member.error());
        }
        if (!*member) {
            return true;
        }
        if (!(*member)->isLog) {
            continue;
        }
        for (;;) {
            auto block = stream->nextBlock();
            if (!block) {
                return tl::unexpected(block.error());
            }
            if (block->empty()) {
                break;
            }
            if (!keepGoing()) {
                return false;
            }
        }
    }
}

} // namespace trawlmeter::logs
