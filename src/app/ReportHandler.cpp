#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/ProgramFiles.h"
#include "app/Messages.h"
#include "crawlers/CrawlerCatalogue.h"
#include "platform/FileSystem.h"
#include "report/Report.h"
#include "store/VisitColumns.h"

#include <array>
#include <optional>

namespace trawlmeter {
namespace {

// Microsoft's crawler is found by the list, not by the token: msnbot became bingbot in 2010.
constexpr std::string_view kMsnNote =
    "Microsoft 的爬虫自 2010 年起名为 bingbot，用户代理中不再有“msn”：它的访问记在“其他爬虫”中。";

constexpr auto kReportEngines = [] {
    std::array<report::ReportEngine, kCrawlerEngines.size()> engines{};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        engines[i] = {kCrawlerEngines[i].name, kCrawlerEngines[i].table,
                      i == engineNamed("Msn") ? kMsnNote : std::string_view()};
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
    // The categories come from the list compiled in: the run's, or one read for the report.
    std::optional<crawlers::CrawlerCatalogue> read;
    const crawlers::CrawlerCatalogue* catalogue =
        m_run.otherCrawlers ? &m_run.otherCrawlers->catalogue() : nullptr;
    if (!catalogue) {
        auto shipped = crawlers::CrawlerCatalogue::shipped();
        if (!shipped) {
            return tl::unexpected(shipped.error());
        }
        catalogue = &read.emplace(std::move(*shipped));
    }
    // A name the list no longer has, stored by an earlier version of it, gets none ("other").
    const report::OtherCrawlersSource others{
        store::kOtherCrawlersTable, store::kCrawlerColumn, [catalogue](std::string_view name) {
            const auto category = catalogue->categoryOf(name);
            return category ? std::string(crawlers::categoryTag(*category)) : std::string();
        }};
    return report::writeReport(programPath(kDatabaseName), kReportEngines, target, others);
}

void MainForm::MnuCrawlerReport_Click() {
    std::string target = programPath(kReportName);
    auto written = writeCrawlerReport(target);
    if (!written) {
        // A program folder closed to writing: the user's temporary folder takes the page.
        if (const auto temporary = fs::TemporaryFolder()) {
            target = *temporary + "/" + std::string(kReportName);
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
