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

tl::expected<std::size_t, std::error_code> FaultyFileWrites::write(int to,
                                                                   std::span<const char> bytes) {
    if (fails()) {
        return tl::unexpected(m_error);
    }
    return m_system.write(to, bytes);
}

tl::expected<std::int64_t, std::error_code>
FaultyFileWrites::copyRange(int from, std::int64_t offset, std::int64_t length, int to) {
    if (fails()) {
        return tl::unexpected(m_error);
    }
    return m_system.copyRange(from, offset, length, to);
}

} // namespace trawlmeter::testing
