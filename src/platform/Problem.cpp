#include "platform/Problem.h"

#include <string>

namespace trawlmeter {
namespace {

class ProblemCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "trawlmeter"; }
    std::string message(int value) const override {
        switch (static_cast<Problem>(value)) {
        case Problem::NotARegularFile:
            return "not a regular file";
        case Problem::ShrankWhileRead:
            return "shrank while it was read";
        case Problem::IsASymbolicLink:
            return "a symbolic link";
        case Problem::NotAFolder:
            return "not a folder";
        case Problem::Stopped:
            return "stopped on request";
        case Problem::NoDatabase:
            return "no database is open";
        case Problem::DatabaseClosed:
            return "the database is closed";
        case Problem::NoRecordStarted:
            return "no record was started";
        case Problem::NoSuchTable:
            return "no such table";
        case Problem::MissingColumns:
            return "columns are missing";
        case Problem::ColumnNeedsAValue:
            return "a column needs a value no visit gives";
        case Problem::ReadOnlyDatabase:
            return "the database takes no records";
        case Problem::NoReportFormat:
            return "the name asks for no report format";
        case Problem::NoLogInside:
            return "holds no log";
        case Problem::DamagedLog:
            return "damaged or truncated";
        case Problem::WrongFormat:
            return "not of the format its name claims";
        case Problem::StreamInStream:
            return "a compressed stream inside another";
        case Problem::EncryptedEntry:
            return "encrypted";
        case Problem::SparseEntry:
            return "a sparse entry";
        case Problem::ShortEntry:
            return "shorter than its header says";
        case Problem::TruncatedGzip:
            return "too short for gzip";
        case Problem::GzipTrailersUnreadable:
            return "gzip trailers unreadable";
        case Problem::GzipCrcMismatch:
            return "gzip CRC mismatch";
        case Problem::GzipLengthMismatch:
            return "gzip length mismatch";
        case Problem::NotALogOfThisFile:
            return "not a log of this file";
        case Problem::EntryGone:
            return "no longer in the archive";
        case Problem::EntryMoved:
            return "no longer at its place in the archive";
        case Problem::Unexpected:
            return "unexpected failure";
        case Problem::RecordIgnored:
            return "the table ignored the record";
        case Problem::TextsNotKeptAsRead:
            return "the database does not keep texts byte for byte";
        case Problem::InWorkFolder:
            return "inside the work folder";
        case Problem::GzipTrailingGarbage:
            return "trailing garbage after the gzip data";
        case Problem::NotATable:
            return "the name is held by something other than a table";
        case Problem::BadServerAddress:
            return "not a DNS server address (ADDR or ADDR:PORT)";
        case Problem::MalformedRangeFile:
            return "not a crawler range file";
        case Problem::RangeFileWithoutPrefixes:
            return "a crawler range file without prefixes";
        case Problem::UnusableVerdictTable:
            return "the verdict table lacks a column";
        }
        return "unknown problem";
    }
};

} // namespace

const std::error_category& problemCategory() {
    static const ProblemCategory category;
    return category;
}

} // namespace trawlmeter
