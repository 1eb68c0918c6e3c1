#pragma once

#include <system_error>

namespace trawlmeter {

// The program's own reasons for a failure, beside the operating system's and SQLite's. New
// reasons go at the end: the values are the codes. The category's messages are short English
// for logs and tests; what the operator reads is made in app/.
enum class Problem {
    NotARegularFile = 1,
    ShrankWhileRead,
    IsASymbolicLink,
    NotAFolder,
    // The operator asked the work to stop.
    Stopped,
    // The store: no database, a closed one, a write without a record, a table that is missing
    // (or a view), one that lacks columns (the detail lists them), one with a column that a
    // record cannot leave empty (the detail names it), a file that takes no records.
    NoDatabase,
    DatabaseClosed,
    NoRecordStarted,
    NoSuchTable,
    MissingColumns,
    ColumnNeedsAValue,
    ReadOnlyDatabase,
    // A report file whose name asks for no format of the report.
    NoReportFormat,
    // Reading a log (the detail gives libarchive's words or the format where there are any):
    // an archive or a folder without a log, damage, a file not of the format its ending
    // claims, a stream inside a stream, an encrypted or sparse member, a member shorter than
    // its header says, a gzip file too short for a member, trailers that cannot be read back
    // or do not match, and a member no longer where it was listed.
    NoLogInside,
    DamagedLog,
    WrongFormat,
    StreamInStream,
    EncryptedEntry,
    SparseEntry,
    ShortEntry,
    TruncatedGzip,
    GzipTrailersUnreadable,
    GzipCrcMismatch,
    GzipLengthMismatch,
    NotALogOfThisFile,
    EntryGone,
    EntryMoved,
    // An exception the program did not expect; the detail holds its words.
    Unexpected,
    // The store: a table that took a record without keeping it (a trigger that ignores it, or
    // a conflict clause that does), and a database that would not keep a visit's bytes as the
    // log has them (its texts are UTF-16; the detail names the encoding).
    RecordIgnored,
    TextsNotKeptAsRead,
    // A log, a folder of logs or an archive that lies inside the work folder, which every run
    // empties first (the detail names the work folder).
    InWorkFolder,
    // Bytes after the last member of a gzip file that are neither a member nor zero padding.
    GzipTrailingGarbage,
    // The store: a name a table needs is held by something else (the detail says what: a view,
    // an index, a trigger).
    NotATable,
    // Verifying crawler addresses: a DNS server's address that is none (about the text), a
    // range file that is not one (the detail says where) or lists no prefix, and a verdict table
    // that lacks a column (the detail names it).
    BadServerAddress,
    MalformedRangeFile,
    RangeFileWithoutPrefixes,
    UnusableVerdictTable,
};

const std::error_category& problemCategory();

inline std::error_code make_error_code(Problem problem) {
    return {static_cast<int>(problem), problemCategory()};
}

} // namespace trawlmeter

template <> struct std::is_error_code_enum<trawlmeter::Problem> : std::true_type {};
