#include "platform/Problem.h"
#include "support/FaultyVfs.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"
#include "verify/VerdictCache.h"

#include <gtest/gtest.h>

#include <regex>

namespace trawlmeter::verify {
namespace {

using testing::readRows;
using testing::Row;

struct VerdictCacheTest : ::testing::Test {
    VerdictCacheTest() { folder.createVisitDatabase(); }
    // Every table's schema and rows, verdicts left out.
    std::vector<Row> visitTables() const {
        auto rows = readRows(database, "SELECT name, sql FROM sqlite_master WHERE tbl_name <> "
                                       "'verdicts' ORDER BY name");
        for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
            auto records = readRows(database, std::string("SELECT * FROM ") + table);
            rows.insert(rows.end(), records.begin(), records.end());
        }
        return rows;
    }
    std::vector<Row> kept() const {
        return readRows(database,
                        "SELECT address, engine, verdict, host FROM verdicts ORDER BY 2, 1");
    }
    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(VerdictCacheTest, KeepsVerdictsInATableOfItsOwnAndReplacesThemByAddressAndEngine) {
    folder.createDatabase("rezOve.mdb",
                          "INSERT INTO google (cip, csuristem) VALUES ('66.249.66.1', '/')");
    const auto before = visitTables();
    auto cache = VerdictCache::open(database);
    ASSERT_TRUE(cache) << cache.error().detail;
    const std::vector<KeptVerdict> first{{"220.181.108.75", Verdict::Verified, "b.crawl.baidu.com"},
                                         {"203.0.113.12", Verdict::Impostor, ""},
                                         {"203.0.113.13", Verdict::Unknown, "x.crawl.baidu.com"}};
    ASSERT_TRUE(cache->store("baidu", first));
    ASSERT_TRUE(cache->store(
        "google", std::vector<KeptVerdict>{{"203.0.113.12", Verdict::Impostor, "evil.example"}}));
    // A later verdict of the same address replaces the earlier one; its other engine's stays.
    ASSERT_TRUE(cache->store(
        "baidu", std::vector<KeptVerdict>{{"203.0.113.13", Verdict::Impostor, "y.example"}}));

    EXPECT_EQ(kept(), (std::vector<Row>{
                          {"203.0.113.12", "baidu", "impostor", std::nullopt},
                          {"203.0.113.13", "baidu", "impostor", "y.example"},
                          {"220.181.108.75", "baidu", "verified", "b.crawl.baidu.com"},
                          {"203.0.113.12", "google", "impostor", "evil.example"},
                      }));
    EXPECT_EQ(visitTables(), before);
    const auto date = readRows(database, "SELECT date FROM verdicts WHERE engine = 'baidu' AND "
                                         "address = '203.0.113.12'");
    ASSERT_EQ(date.size(), 1u);
    EXPECT_TRUE(std::regex_match(*date[0][0], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << *date[0][0];

    // Another connection later, as the next report.
    auto again = VerdictCache::open(database);
    ASSERT_TRUE(again);
    const auto baidu = again->load("baidu");
    ASSERT_TRUE(baidu);
    ASSERT_EQ(baidu->size(), 3u);
    EXPECT_EQ(baidu->at("220.181.108.75").verdict, Verdict::Verified);
    EXPECT_EQ(baidu->at("220.181.108.75").host, "b.crawl.baidu.com");
    EXPECT_EQ(baidu->at("203.0.113.12").host, "");
    EXPECT_EQ(baidu->at("203.0.113.12").date, *date[0][0]);
    EXPECT_TRUE(again->load("sogou")->empty());
}

TEST_F(VerdictCacheTest, ATableOfThatNameWithoutItsColumnsIsRefusedAndLeftAsItIs) {
    folder.createDatabase("rezOve.mdb", "CREATE TABLE verdicts (address TEXT, engine TEXT, "
                                        "verdict TEXT, date TEXT); "
                                        "INSERT INTO verdicts VALUES ('a', 'b', 'c', 'd');");
    const auto cache = VerdictCache::open(database);
    ASSERT_FALSE(cache);
    EXPECT_EQ(cache.error().code, Problem::UnusableVerdictTable);
    EXPECT_EQ(cache.error().subject, "verdicts");
    EXPECT_EQ(cache.error().detail, "host");
    EXPECT_EQ(readRows(database, "SELECT * FROM verdicts"),
              (std::vector<Row>{{"a", "b", "c", "d"}}));
}

TEST_F(VerdictCacheTest, AMissingFileOrOneThatIsNoDatabaseIsRefusedWithSqlitesReason) {
    const auto missing = VerdictCache::open((folder / "absent.mdb").string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code.value() & 0xff, 14) << "SQLITE_CANTOPEN";
    EXPECT_FALSE(std::filesystem::exists(folder / "absent.mdb"));

    folder.writeFile("text.mdb", std::string(4096, 'x'));
    const auto text = VerdictCache::open((folder / "text.mdb").string());
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code.value() & 0xff, 26) << "SQLITE_NOTADB";
    EXPECT_EQ(text.error().subject, (folder / "text.mdb").string());
    EXPECT_EQ(folder.readFile("text.mdb"), std::string(4096, 'x'));
}

TEST_F(VerdictCacheTest, OfVerdictsTheDatabaseRefusesNoneIsKeptAndTheReasonIsTold) {
    const std::vector<KeptVerdict> verdicts{{"1.1.1.1", Verdict::Verified, "a.search.msn.com"},
                                            {"2.2.2.2", Verdict::Impostor, ""}};
    {
        auto cache = VerdictCache::open(database);
        ASSERT_TRUE(cache);
        ASSERT_TRUE(
            cache->store("msn", std::vector<KeptVerdict>{{"1.1.1.1", Verdict::Impostor, ""}}));
        // The second verdict is refused after the first went in.
        folder.createDatabase("rezOve.mdb",
                              "CREATE TRIGGER refuse BEFORE INSERT ON verdicts "
                              "WHEN NEW.address = '2.2.2.2' BEGIN SELECT RAISE(ABORT, 'no'); END");
        const auto refused = cache->store("msn", verdicts);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code.value() & 0xff, 19) << "SQLITE_CONSTRAINT";
        EXPECT_EQ(refused.error().subject, database);
        folder.createDatabase("rezOve.mdb", "DROP TRIGGER refuse");
    }
    {
        // Connections opened while it lives write through it: the disk fills at the commit.
        testing::FaultyVfs vfs;
        auto cache = VerdictCache::open(database);
        ASSERT_TRUE(cache);
        vfs.failFrom(0);
        const auto full = cache->store("msn", verdicts);
        ASSERT_FALSE(full);
        EXPECT_EQ(full.error().code, std::errc::no_space_on_device);
    }
    // The next connection rolls back what the refused commit left half done.
    auto after = VerdictCache::open(database);
    ASSERT_TRUE(after);
    const auto msn = after->load("msn");
    ASSERT_TRUE(msn);
    ASSERT_EQ(msn->size(), 1u);
    EXPECT_EQ(msn->at("1.1.1.1").verdict, Verdict::Impostor);
}

} // namespace
} // namespace trawlmeter::verify
