#include "report/Report.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/FileWrites.h"

#include <exception>

namespace trawlmeter::report {
namespace {

using Failure = tl::unexpected<std::string>;

// Writes the content beside `path` under a hidden name and gives it the name only once it is
// complete and on disk.
tl::expected<void, std::string> replaceFile(const std::string& path, std::string_view content) {
    const auto failure = [&path](const trawlmeter::Failure& reason) {
        return Failure("cannot write the report " + path + ": " + reason.code.message());
    };
    auto file = AtomicFile::create(path);
    if (!file) {
        return failure(file.error());
    }
    SystemFileWrites writes;
    auto written = writeWhole(writes, file->file(), {content.data(), content.size()});
    if (written) {
        written = file->commit(AtomicFile::Existing::Replace);
    }
    if (!written) {
        return failure(written.error());
    }
    return {};
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

tl::expected<void, std::string> writeReport(const std::string& databasePath,
                                            std::span<const ReportEngine> engines,
                                            const std::string& outputPath) {
    try {
        const auto format = reportFormatFor(outputPath);
        if (!format) {
            return Failure("the report file must end in .html or .json: " + outputPath);
        }
        const auto report = collectReport(databasePath, engines);
        if (!report) {
            return Failure(report.error());
        }
        return replaceFile(outputPath, *format == ReportFormat::Html ? renderHtml(*report)
                                                                     : renderJson(*report));
    } catch (const std::exception& error) {
        // Out of memory, or no source of randomness for the temporary name.
        return Failure("cannot write the report " + outputPath + ": " + error.what());
    }
}

} // namespace trawlmeter::report
