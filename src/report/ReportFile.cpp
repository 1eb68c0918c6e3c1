#include "report/Report.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/FileWrites.h"
#include "platform/Problem.h"

#include <exception>

namespace trawlmeter::report {
namespace {

// Writes the content beside `path` under a hidden name and gives it the name only once it is
// complete and on disk.
Expected<void> replaceFile(const std::string& path, std::string_view content) {
    auto file = AtomicFile::create(path);
    if (!file) {
        return tl::unexpected(file.error());
    }
    SystemFileWrites writes;
    if (auto written = writeWhole(writes, file->file(), {content.data(), content.size()});
        !written) {
        // What the disk refused concerns the report, whatever name it had meanwhile.
        written.error().subject = path;
        return written;
    }
    return file->commit(AtomicFile::Existing::Replace);
}

} // namespace

std::optional<ReportFormat> reportFormatFor(std::string_view outputPath) {
    if (endsWithIgnoringAsciiCase(outputPath, ".html")) {
        return ReportFormat::Html;
    }
    if (endsWithIgnoringAsciiCase(outputPath, ".json")) {
        return ReportFormat::Json;
    }
    return std::nullopt;
}

Expected<void> saveReport(const Report& report, const std::string& outputPath) {
    try {
        const auto format = reportFormatFor(outputPath);
        if (!format) {
            return fail(Problem::NoReportFormat, outputPath);
        }
        return replaceFile(outputPath,
                           *format == ReportFormat::Html ? renderHtml(report) : renderJson(report));
    } catch (const std::exception& error) {
        // Out of memory while rendering.
        return tl::unexpected(failureOf(error, outputPath));
    }
}

} // namespace trawlmeter::report
