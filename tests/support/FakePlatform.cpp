#include "support/FakePlatform.h"

namespace trawlmeter::testing {

void FakePlatform::showMessage(const std::string& prompt, int style, const std::string& title) {
    messages.push_back({prompt, style, title});
}

void FakePlatform::yieldToEvents() {
    ++yields;
    if (onYield) {
        onYield();
    }
}

std::optional<std::string> FakePlatform::chooseFileToOpen(const std::string& filter) {
    dialogFilters.push_back(filter);
    if (dialogAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

bool FakePlatform::openUrl(const std::string& url) {
    openedUrls.push_back(url);
    return urlOpenSucceeds;
}

PlatformPorts FakePlatform::ports(std::string programFolder) {
    return PlatformPorts{*this, *this, *this, *this, fileWrites, std::move(programFolder)};
}

Expected<std::size_t> FaultyFileWrites::write(File& to, std::span<const char> bytes) {
    if (beforeWrite) {
        beforeWrite();
    }
    if (fails()) {
        return fail(m_error, to.path());
    }
    return m_system.write(to, bytes);
}

Expected<std::int64_t> FaultyFileWrites::copyRange(const File& from, std::int64_t offset,
                                                   std::int64_t length, File& to) {
    if (beforeWrite) {
        beforeWrite();
    }
    if (fails()) {
        return fail(m_error, to.path());
    }
    return m_system.copyRange(from, offset, length, to);
}

} // namespace trawlmeter::testing
