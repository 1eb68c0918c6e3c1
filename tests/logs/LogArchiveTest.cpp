#include "logs/LogArchive.h"
#include "logs/LogReader.h"
#include "platform/Problem.h"
#include "support/ArchiveWriter.h"
#include "support/GeneratedLog.h"
#include "support/TestFolder.h"

#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;
using logs::LogEntry;
using logs::LogKind;
using testing::Member;
using testing::writeZip;

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

bool hasTool(const std::string& tool) {
    return run("command -v " + tool + " >/dev/null 2>&1");
}

// Reads a log whole, taking turns between the copying and the zero-copy call so bytes held
// back between the two are not lost.
Expected<std::string> readAll(const LogEntry& entry) {
    auto reader = logs::LogReader::open(entry);
    if (!reader) {
        return tl::unexpected(reader.error());
    }
    std::string bytes;
    std::vector<char> buffer(40'000);
    for (bool copy = true;; copy = !copy) {
        if (copy) {
            auto got = reader->read(buffer);
            if (!got) {
                return tl::unexpected(got.error());
            }
            if (*got == 0) {
                return bytes;
            }
            bytes.append(buffer.data(), *got);
        } else {
            auto block = reader->nextBlock();
            if (!block) {
                return tl::unexpected(block.error());
            }
            if (block->empty()) {
                return bytes;
            }
            bytes.append(block->data(), block->size());
        }
    }
}

std::vector<std::string> membersOf(const std::vector<LogEntry>& logs) {
    std::vector<std::string> members;
    members.reserve(logs.size());
    for (const LogEntry& entry : logs) {
        members.push_back(entry.member);
    }
    return members;
}

struct LogArchiveTest : ::testing::Test {
    testing::TestFolder folder;
    std::string log;

    void SetUp() override {
        testing::writeTestLog(folder / "u.log", 1'500'000);
        log = folder.readFile("u.log");
    }

    std::string at(const std::string& name) const { return (folder / name).string(); }
};

TEST(LogKindTest, FollowsTheEndingInAnyCase) {
    const std::vector<std::pair<std::string, LogKind>> table = {
        {"u_ex0101.log", LogKind::Plain},
        {"u.LOG.GZ", LogKind::Compressed},
        {"u.log.bz2", LogKind::Compressed},
        {"u.Xz", LogKind::Compressed},
        {"u.zst", LogKind::Compressed},
        {"may.ZIP", LogKind::Archive},
        {"may.7z", LogKind::Archive},
        {"u.gz.log", LogKind::Plain},
        {"u.tgz", LogKind::Archive},
        {"may.TAR.gz", LogKind::Archive},
        {"may.tar", LogKind::Archive},
        {"may.tbz2", LogKind::Archive},
        {"may.tar.zst", LogKind::Archive},
        {"may.tar.log", LogKind::Plain},
        {"gz", LogKind::Plain},
        {"", LogKind::Plain},
    };
    for (const auto& [path, kind] : table) {
        EXPECT_EQ(logs::logKindOf(path), kind) << path;
    }
}

TEST_F(LogArchiveTest, CompressedFilesReadBackAsTheirExactBytes) {
    folder.writeFile("empty.log", "");
    folder.writeFile("byte.log", "x");
    struct Case {
        std::string tool, command, ending;
    };
    const std::vector<Case> cases = {
        {"cp", "cp IN OUT", ".log"},
        {"gzip", "gzip -nc IN >OUT", ".gz"},
        {"bzip2", "bzip2 -c IN >OUT", ".bz2"},
        {"xz", "xz -c IN >OUT", ".xz"},
        {"zstd", "zstd -qc IN >OUT", ".zst"},
        // Named like a plain log, or with no ending: recognised by the first bytes.
        {"gzip", "gzip -nc IN >OUT", ".gz.log"},
        {"xz", "xz -c IN >OUT", ""},
    };
    for (const Case& c : cases) {
        if (!hasTool(c.tool)) {
            GTEST_SKIP() << c.tool << " is missing";
        }
        for (const std::string source : {"empty.log", "byte.log", "u.log"}) {
            const std::string target = at(source + ".copy" + c.ending);
            std::string command = c.command;
            command.replace(command.find("IN"), 2, at(source));
            command.replace(command.find("OUT"), 3, target);
            ASSERT_TRUE(run(command)) << command;
            EXPECT_EQ(readAll(logs::listLogs(target)->front()), folder.readFile(source)) << target;
            EXPECT_TRUE(logs::verifyLogs(target).value_or(false)) << target;
        }
    }
    // Members one after another read as their joined bytes and pass the CRC check together.
    ASSERT_TRUE(run("gzip -nc " + at("u.log") + " >" + at("two.gz") + " && gzip -nc " +
                    at("byte.log") + " >>" + at("two.gz")));
    EXPECT_EQ(readAll(logs::listLogs(at("two.gz"))->front()), log + "x");
}

TEST_F(LogArchiveTest, AGzipFileIsTakenExactlyWhenGzipTestTakesItAndRefusedWithTheReason) {
    if (!hasTool("gzip")) {
        GTEST_SKIP() << "gzip is missing";
    }
    ASSERT_TRUE(run("gzip -nc " + at("u.log") + " >" + at("one.gz")));
    const std::string one = folder.readFile("one.gz");
    const std::string small = "x\n";
    ASSERT_TRUE(run("printf 'x\\n' | gzip -n >" + at("small.gz")));
    const std::string two = one + folder.readFile("small.gz");
    const std::string zeros(10'000, '\0');
    const auto flipped = [](std::string bytes, std::size_t fromEnd) {
        bytes[bytes.size() - fromEnd] = static_cast<char>(bytes[bytes.size() - fromEnd] ^ 1);
        return bytes;
    };
    struct Case {
        std::string name, bytes;
        std::error_code code; // none where gzip -t takes the file
        std::string inflated;
    };
    const std::error_code taken;
    const std::vector<Case> cases = {
        {"padded.gz", one + zeros, taken, log},
        {"two.gz", two, taken, log + small},
        {"two-padded.gz", two + zeros, taken, log + small},
        {"bad-crc.gz", flipped(one, 8), Problem::GzipCrcMismatch, {}},
        {"bad-length.gz", flipped(one, 4), Problem::GzipLengthMismatch, {}},
        {"truncated.gz", one.substr(0, one.size() - 3), Problem::DamagedLog, {}},
        {"garbage.gz", one + "garbage", Problem::GzipTrailingGarbage, {}},
        {"padding-then-garbage.gz", one + zeros + "x", Problem::GzipTrailingGarbage, {}},
        {"cut-header.gz", one + "\x1f\x8b", Problem::DamagedLog, {}},
        {"empty.gz", "", Problem::TruncatedGzip, {}},
    };
    for (const Case& c : cases) {
        folder.writeFile(c.name, c.bytes);
        EXPECT_EQ(run("gzip -t " + at(c.name) + " 2>/dev/null"), !c.code) << c.name;
        const auto verified = logs::verifyLogs(at(c.name));
        const auto bytes = readAll(LogEntry{at(c.name), "", -1});
        if (!c.code) {
            EXPECT_TRUE(verified.value_or(false)) << verified.error();
            EXPECT_TRUE(bytes == c.inflated) << c.name;
        } else {
            ASSERT_FALSE(verified) << c.name;
            EXPECT_EQ(verified.error().code, c.code) << verified.error();
            EXPECT_EQ(verified.error().subject, at(c.name));
            ASSERT_FALSE(bytes) << c.name;
            EXPECT_EQ(bytes.error().code, c.code) << bytes.error();
        }
    }
}

TEST_F(LogArchiveTest, ArchivesStandForTheirLogMembersInTheByteOrderOfTheirNames) {
    stdfs::create_directories(folder / "in" / "sub");
    folder.writeFile("in/b.log", log.substr(0, 1000));
    folder.writeFile("in/A.LOG", log);
    folder.writeFile("in/sub/c.Log", log.substr(7));
    folder.writeFile("in/e.log", "");
    folder.writeFile("in/readme.txt", "not a log");
    const std::vector<std::string> expected = {"A.LOG", "b.log", "e.log", "sub/c.Log"};
    const std::vector<std::array<std::string, 3>> tools = {
        {"zip", "may.zip", "zip -qr ../may.zip sub/c.Log readme.txt b.log e.log A.LOG sub"},
        {"7z", "may.7z", "7z a -bd -bso0 ../may.7z sub readme.txt b.log e.log A.LOG"},
        {"tar", "may.tar", "tar -cf ../may.tar sub readme.txt b.log e.log A.LOG"},
        {"gzip", "may.tgz", "tar -czf ../may.tgz sub readme.txt b.log e.log A.LOG"},
        {"bzip2", "may.tar.bz2", "tar -cjf ../may.tar.bz2 sub readme.txt b.log e.log A.LOG"},
        {"xz", "may.tar.xz", "tar -cJf ../may.tar.xz sub readme.txt b.log e.log A.LOG"},
        {"zstd", "may.tar.zst", "tar --zstd -cf ../may.tar.zst sub readme.txt b.log e.log A.LOG"},
        // An archive named like a log is read as what it is.
        {"zip", "zip-named.log", "cp ../may.zip ../zip-named.log"},
        {"gzip", "tgz-named", "cp ../may.tgz ../tgz-named"},
    };
    for (const auto& [tool, name, command] : tools) {
        if (!hasTool(tool)) {
            GTEST_SKIP() << tool << " is missing";
        }
        ASSERT_TRUE(run("cd " + at("in") + " && " + command));
        const std::string path = at(name);
        const auto logs = logs::listLogs(path);
        ASSERT_TRUE(logs) << logs.error();
        ASSERT_EQ(membersOf(*logs), expected) << name;
        for (const LogEntry& entry : *logs) {
            EXPECT_EQ(entry.label(), path + ":" + entry.member);
            EXPECT_EQ(readAll(entry), folder.readFile("in/" + entry.member)) << entry.label();
        }
        EXPECT_TRUE(logs::verifyLogs(path).value_or(false));
    }
}

TEST_F(LogArchiveTest, AWalkReadsMembersInNameOrderWhateverTheArchivesOwnOrder) {
    // In the archive's order, then out of it: each reads its own bytes, a member left half read
    // included.
    writeZip(folder / "walk.zip", {{"a.log", log.substr(0, 300'000)},
                                   {"c.log", log.substr(5)},
                                   {"b.log", "bee"},
                                   {"d.log", log}});
    const auto logs = logs::listLogs(at("walk.zip"));
    ASSERT_TRUE(logs) << logs.error();
    ASSERT_EQ(membersOf(*logs), (std::vector<std::string>{"a.log", "b.log", "c.log", "d.log"}));
    logs::MemberWalk walk(at("walk.zip"));
    std::vector<char> some(1000);
    for (const std::size_t member : {0U, 2U, 3U, 1U, 2U}) {
        const LogEntry& entry = (*logs)[member];
        auto reader = walk.open(entry);
        ASSERT_TRUE(reader) << reader.error();
        std::string bytes;
        for (;;) {
            auto block = reader->nextBlock();
            ASSERT_TRUE(block) << block.error();
            if (block->empty()) {
                break;
            }
            bytes.append(block->data(), block->size());
        }
        EXPECT_TRUE(bytes == readAll(entry)) << entry.member;
    }
    ASSERT_TRUE(walk.open((*logs)[0]));
    EXPECT_EQ(walk.open((*logs)[3]).value().read(some).value_or(0), some.size());
    ASSERT_TRUE(walk.open((*logs)[1]));
}

TEST_F(LogArchiveTest, MemberNamesAreOnlyLabelsAndNeverPathsOnDisk) {
    stdfs::create_directories(folder / "a" / "b");
    const stdfs::path zip = folder / "a" / "b" / "evil.zip";
    writeZip(zip, {{"../../x.log", "up"},
                   {"/tmp/trawlmeter-absolute.log", "absolute"},
                   {"link.log", "", AE_IFLNK},
                   {"folder.log/", "", AE_IFDIR}});
    const auto logs = logs::listLogs(zip.string());
    ASSERT_TRUE(logs) << logs.error();
    ASSERT_EQ(membersOf(*logs),
              (std::vector<std::string>{"../../x.log", "/tmp/trawlmeter-absolute.log"}));
    EXPECT_EQ(readAll((*logs)[0]), "up");
    EXPECT_EQ(readAll((*logs)[1]), "absolute");
    EXPECT_TRUE(logs::verifyLogs(zip.string()).value_or(false));
    EXPECT_FALSE(stdfs::exists("/tmp/trawlmeter-absolute.log"));
    EXPECT_FALSE(stdfs::exists(stdfs::current_path() / "x.log"));
    std::vector<stdfs::path> files;
    for (const auto& item : stdfs::recursive_directory_iterator(folder.path())) {
        files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<stdfs::path>{folder / "a", folder / "a" / "b", zip, folder / "u.log"}));

    // A member is found again only at the position it was listed at, under its name.
    LogEntry moved = (*logs)[0];
    moved.memberIndex = 1;
    const auto stale = logs::LogReader::open(moved);
    ASSERT_FALSE(stale);
    EXPECT_EQ(stale.error().code, Problem::EntryMoved);
    EXPECT_EQ(stale.error().subject, zip.string() + ":../../x.log");
}

TEST_F(LogArchiveTest, MembersNamedInAnyScriptAreListedTheSameInUtf8WhateverTheLocale) {
    const std::vector<Member> members = {{"网站.log", "site"},
                                         {"b.log", "b"},
                                         {"日志/二月.LOG", "february"},
                                         {"说明.txt", "no log"}};
    // The byte order of the names in UTF-8.
    const std::vector<std::string> expected = {"b.log", "日志/二月.LOG", "网站.log"};
    const std::pair<std::string, testing::ArchiveFormat> archives[] = {
        {"flagged.zip", {"zip", "", "hdrcharset=UTF-8"}},
        // As a Chinese Windows writes it: code page 936 and no UTF-8 flag.
        {"gbk.zip", {"zip", "", "hdrcharset=CP936"}},
        {"names.7z", {"7zip", "", ""}},
        {"names.tar.gz", {"pax", "gzip", ""}},
    };
    for (const auto& [name, format] : archives) {
        testing::writeArchive(folder / name, members, format);
    }
    const std::string gbk = folder.readFile("gbk.zip");
    ASSERT_NE(gbk.find("\xCD\xF8\xD5\xBE.log"), std::string::npos) << "网站 in code page 936";
    ASSERT_EQ(gbk[7] & 0x08, 0) << "no UTF-8 flag (bit 11 of the flags)";
    for (const char* locale : {"C", "C.UTF-8", "zh_CN.GB18030"}) {
        if (!std::setlocale(LC_ALL, locale)) {
            continue;
        }
        for (const auto& [name, format] : archives) {
            const auto logs = logs::listLogs(at(name));
            ASSERT_TRUE(logs) << logs.error();
            EXPECT_EQ(membersOf(*logs), expected) << name << " in " << locale;
            for (const LogEntry& entry : *logs) {
                const auto member =
                    std::find_if(members.begin(), members.end(),
                                 [&](const Member& m) { return m.name == entry.member; });
                ASSERT_NE(member, members.end());
                EXPECT_TRUE(readAll(entry) == member->content) << entry.label();
            }
        }
    }
    std::setlocale(LC_ALL, "C");
}

enum class Spoil { None, FlipMiddleByte, CutInHalf, CutLastByte };

void spoil(const stdfs::path& path, Spoil how) {
    std::string bytes = testing::readWholeFile(path);
    if (how == Spoil::FlipMiddleByte) {
        bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    }
    bytes.resize(how == Spoil::CutInHalf     ? bytes.size() / 2
                 : how == Spoil::CutLastByte ? bytes.size() - 1
                                             : bytes.size());
    testing::writeWholeFile(path, bytes);
}

TEST_F(LogArchiveTest, DamagedOrDisguisedFilesFailWithTheReasonInsteadOfEndingEarly) {
    struct Case {
        std::string tool, name, command;
        Spoil spoil;
        std::error_code code;
        // libarchive's words, where it says any.
        std::string words;
    };
    const std::error_code damaged = Problem::DamagedLog;
    const std::vector<Case> cases = {
        {"gzip", "flipped.gz", "gzip -nc u.log >OUT", Spoil::FlipMiddleByte,
         Problem::GzipCrcMismatch, ""},
        {"gzip", "half.gz", "gzip -nc u.log >OUT", Spoil::CutInHalf, damaged,
         "truncated gzip input"},
        {"gzip", "short.gz", "gzip -nc u.log >OUT", Spoil::CutLastByte, damaged, ""},
        {"bzip2", "half.bz2", "bzip2 -c u.log >OUT", Spoil::CutInHalf, damaged,
         "truncated bzip2 input"},
        {"xz", "half.xz", "xz -c u.log >OUT", Spoil::CutInHalf, damaged, "Lzma library error"},
        {"zstd", "half.zst", "zstd -qc u.log >OUT", Spoil::CutInHalf, damaged,
         "Truncated zstd input"},
        {"cp", "text.gz", "cp u.log OUT", Spoil::None, Problem::WrongFormat, "gzip"},
        {"xz", "xz-inside.gz", "xz -c u.log >OUT", Spoil::None, Problem::WrongFormat, "gzip"},
        {"zip", "flipped.zip", "zip -q0 OUT u.log", Spoil::FlipMiddleByte, damaged, "ZIP bad CRC"},
        {"zip", "locked.zip", "zip -q -P secret OUT u.log", Spoil::None, Problem::EncryptedEntry,
         ""},
        {"zip", "half.zip", "zip -q OUT u.log", Spoil::CutInHalf, damaged,
         "Unrecognized archive format"},
        {"7z", "half.7z", "7z a -bd -bso0 OUT u.log", Spoil::CutInHalf, damaged, ""},
        {"cp", "missing.gz", "true OUT", Spoil::None,
         std::make_error_code(std::errc::no_such_file_or_directory), ""},
    };
    for (const Case& c : cases) {
        if (!hasTool(c.tool)) {
            GTEST_SKIP() << c.tool << " is missing";
        }
        std::string command = c.command;
        command.replace(command.find("OUT"), 3, c.name);
        ASSERT_TRUE(run("cd " + folder.str() + " && " + command)) << command;
        if (c.spoil != Spoil::None) {
            spoil(folder / c.name, c.spoil);
        }
        const std::string path = at(c.name);
        const auto verified = logs::verifyLogs(path);
        ASSERT_FALSE(verified) << c.name;
        const Failure& failure = verified.error();
        EXPECT_EQ(failure.code, c.code) << failure;
        EXPECT_EQ(failure.subject.rfind(path, 0), 0U) << failure;
        EXPECT_NE(failure.detail.find(c.words), std::string::npos) << failure;
        // Reading the log fails the same way, if the listing does not already.
        const auto logs = logs::listLogs(path);
        if (logs) {
            ASSERT_EQ(logs->size(), 1U) << c.name;
            const auto read = readAll(logs->front());
            ASSERT_FALSE(read) << c.name;
            EXPECT_EQ(read.error().code, failure.code) << read.error();
            EXPECT_EQ(read.error().subject, failure.subject);
            EXPECT_EQ(read.error().detail, failure.detail);
        }
    }
}

} // namespace
} // namespace trawlmeter
