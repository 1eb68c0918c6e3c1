#include "report/Report.h"

#include "platform/AsciiCase.h"
#include "platform/FileWrites.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace trawlmeter::report {
namespace {

using Failure = tl::unexpected<std::string>;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Writes the content beside `path` under a fresh hidden name and renames it over `path` only
// once it is complete and on disk.
tl::expected<void, std::string> replaceFile(const std::string& path, std::string_view content) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::random_device random;
    std::string temporary;
    int fd = -1;
    // A name taken by another writer is simply drawn again.
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", random(), random());
        std::string name(1, '.');
        name += target.filename().string();
        name += suffix;
        temporary = (folder / name).string();
        // 0666 leaves the permissions to the user's umask, as for any new file.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return Failure("cannot write the report " + path + ": " + lastError().message());
    }
    SystemFileWrites writes;
    std::error_code error = writeWhole(writes, fd, {content.data(), content.size()});
    if (!error && ::fsync(fd) != 0) {
        error = lastError();
    }
    if (::close(fd) != 0 && !error) {
        error = lastError();
    }
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = lastError();
    }
    if (error) {
        (void)::unlink(temporary.c_str());
        return Failure("cannot write the report " + path + ": " + error.message());
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
