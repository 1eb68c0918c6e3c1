#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/ProgramFiles.h"
#include "app/Messages.h"
#include "platform/FileSystem.h"
#include "report/Report.h"
#include "platform/PathText.h"

#include <array>

namespace trawlmeter {
namespace {

constexpr auto kReportEngines = [] {
    std::array<report::ReportEngine, kCrawlerEngines.size()> engines{};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        engines[i] = {kCrawlerEngines[i].name, kCrawlerEngines[i].table};
    }
    return engines;
}();

// A file: address for a local path, its bytes outside the unreserved ones percent-encoded.
std::string fileUrl(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0f];
        }
    }
    return url;
}

} // namespace

Expected<void> MainForm::writeCrawlerReport(const std::string& target) {
    return report::writeReport(programPath(kDatabaseName), kReportEngines, target);
}

void MainForm::MnuCrawlerReport_Click() {
    std::string target = programPath(kReportName);
    auto written = writeCrawlerReport(target);
    if (!written) {
        // A program folder closed to writing: the user's temporary folder takes the page.
        if (const auto temporary = fs::TemporaryFolder()) {
            target = joinPath(*temporary, kReportName);
            written = writeCrawlerReport(target);
        }
    }
    if (!written) {
        tell(messages::reportFailed(written.error(), programPath(kDatabaseName)), written.error());
        return;
    }
    // Unlike the credit line, the page was asked for: without a browser, say where it lies.
    if (!m_ports.urlOpener.openUrl(fileUrl(target))) {
        tell(messages::reportNotOpened(target));
    }
}

} // namespace trawlmeter
