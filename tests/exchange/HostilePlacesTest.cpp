// SPDX-License-Identifier: GPL-3.0-or-later
// Places databases made to hurt the reader: views that never end or make huge values, generated
// columns, oversized values, damaged and truncated files, a log without its database, triggers
// and a writer holding the database. Each import ends at once, in bounded memory, and either
// reads what a real database holds or fails naming the file, leaving the document as it was.
// (The program's time-out catches an import that never ends.)

#include "support/PlacesFixture.h"
#include "support/TestFiles.h"

#include "exchange/FirefoxPlaces.h"
#include "exchange/PlacesDatabase.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace brindle;
using testutil::FillPlaces;
using testutil::PlacesFixture;
namespace fs = std::filesystem;

namespace {

// The peak resident memory of this process so far, in kB.
long PeakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmHWM:" && status >> value)
            return value;
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// The page number of a table's b-tree root.
int RootPage(sqlite3* db, const char* table) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = ?", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    const int page = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    return page;
}

void Overwrite(const fs::path& file, std::uintmax_t at, const std::string& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Hostile {
    const char* name;
    // Makes places.sqlite (and what lies beside it) in the folder.
    std::function<void(const fs::path& folder)> make;
    ImportOptions options = {};
};

void Real(const fs::path& folder, const std::string& extra = "") {
    PlacesFixture f((folder / "places.sqlite").string());
    FillPlaces(f);
    if (!extra.empty())
        f.Exec(extra);
}

const Hostile kHostile[] = {
    {"endless recursive view",
     [](const fs::path& d) {
         PlacesFixture f((d / "places.sqlite").string());
         FillPlaces(f);
         f.MakePlacesAnEndlessView();
     }},
    {"huge-blob view",
     [](const fs::path& d) {
         Real(d, "ALTER TABLE moz_places RENAME TO real_places; CREATE VIEW moz_places AS SELECT "
                 "id, printf('%.*c', 600000000, 'u') AS url, 0 AS last_visit_date FROM "
                 "real_places;");
     }},
    {"generated column",
     [](const fs::path& d) {
         // Added after the rows, so that making it computes nothing; reading it would.
         Real(d, "DROP TABLE moz_places; CREATE TABLE moz_places (id INTEGER PRIMARY KEY, "
                 "last_visit_date INTEGER); INSERT INTO moz_places (id) VALUES (100); "
                 "ALTER TABLE moz_places ADD COLUMN url TEXT GENERATED ALWAYS AS "
                 "(printf('%.*c', 600000000, 'u')) VIRTUAL;");
     }},
    {"value over the bound",
     [](const fs::path& d) {
         Real(d, "UPDATE moz_places SET url = 'http://x/' || zeroblob(" +
                     std::to_string(kMaxPlacesValueBytes + 1) + ") WHERE id = 101;");
     }},
    {"truncated file",
     [](const fs::path& d) {
         Real(d);
         fs::resize_file(d / "places.sqlite", fs::file_size(d / "places.sqlite") / 2);
     }},
    {"damaged page",
     [](const fs::path& d) {
         int page = 0;
         {
             PlacesFixture f((d / "places.sqlite").string());
             FillPlaces(f);
             page = RootPage(f.Db(), "moz_bookmarks");
         }
         Overwrite(d / "places.sqlite", std::uintmax_t(page - 1) * 4096, std::string(64, '\xA5'));
     }},
    {"damaged page behind a log",
     [](const fs::path& d) {
         // The files as a running browser leaves them, copied while its connection is open.
         fs::create_directory(d / "live");
         PlacesFixture f((d / "live/places.sqlite").string());
         f.Exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
         FillPlaces(f);
         // An index the reader never uses: only the quick check sees its page is damaged.
         f.Exec("CREATE INDEX url_index ON moz_places (url);");
         f.Exec("PRAGMA wal_checkpoint(TRUNCATE); INSERT INTO moz_bookmarks (id, type, parent, "
                "position, title) VALUES (300, 2, 5, 9, 'Fresh');");
         fs::copy_file(d / "live/places.sqlite", d / "places.sqlite");
         fs::copy_file(d / "live/places.sqlite-wal", d / "places.sqlite-wal");
         Overwrite(d / "places.sqlite", std::uintmax_t(RootPage(f.Db(), "url_index") - 1) * 4096,
                   std::string(64, '\xA5'));
     }},
    {"log without its database",
     [](const fs::path& d) {
         Real(d);
         fs::rename(d / "places.sqlite", d / "elsewhere.sqlite");
         testutil::WriteFile(d / "places.sqlite-wal", std::string(4096, '\x37'));
     }},
    {"no time left",
     [](const fs::path& d) {
         // Enough rows that reading them takes more than one look at the clock.
         Real(d, "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title) WITH "
                 "RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 6000) "
                 "SELECT i, 1, 101, 5, i, 'Row ' || i FROM n;");
     },
     ImportOptions{.timeBudget = {}}},
};

} // namespace

TEST(HostilePlaces, EachFailsAtOnceNamingTheFileAndLeavesTheDocumentAlone) {
    for (const Hostile& h : kHostile) {
        SCOPED_TRACE(h.name);
        testutil::TempDirectory dir;
        h.make(dir.Path());
        const std::string path = dir.File("places.sqlite");
        CBrindleDoc doc;
        doc.AddBookmark({.name = "Kept", .url = "http://kept/", .schedule = kNoSchedule});
        doc.SetModifiedFlag(false);

        const long peak = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        const ImportResult result = ImportFirefoxPlaces(doc, path, h.options);
        const auto took = std::chrono::steady_clock::now() - start;

        // Far inside the time budget: the checks refuse these before anything runs long.
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_LT(PeakKilobytes() - peak, 64 * 1024);
        EXPECT_FALSE(result.Read());
        EXPECT_EQ(result.problems.messages.size(), 1u);
        for (const ExchangeMessage& m : result.problems.messages) {
            EXPECT_EQ(m.text, "cannot open the file");
            EXPECT_EQ(m.file, path);
        }
        EXPECT_EQ(doc.Bookmarks().size(), 1u);
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST(HostilePlaces, TriggersAndAWriterHoldingTheLogChangeNothingAndBlockNothing) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    PlacesFixture f(path);
    f.Exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    FillPlaces(f);
    // Triggers on changes, one of them endless: a reader that wrote would set them off.
    f.Exec("CREATE TABLE fired (x); "
           "CREATE TRIGGER t1 AFTER INSERT ON moz_bookmarks BEGIN INSERT INTO fired VALUES (1); "
           "END; CREATE TRIGGER t2 BEFORE UPDATE ON moz_places BEGIN SELECT count(*) FROM (WITH "
           "RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r) SELECT i FROM r); END; "
           "CREATE TRIGGER t3 BEFORE DELETE ON moz_places BEGIN SELECT RAISE(ABORT, 'no'); END;");
    // A browser that holds the database in exclusive mode with a change not yet committed.
    f.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN; INSERT INTO moz_places (id, url) VALUES (400, "
           "'http://pending/');");
    const std::string before = testutil::ReadFile(path);
    const std::string walBefore = testutil::ReadFile(path + "-wal");

    CBrindleDoc doc;
    const ImportResult result = ImportFirefoxPlaces(doc, path);
    EXPECT_EQ(result.format, FormatId::FirefoxPlaces);
    EXPECT_EQ(result.added, 3);
    EXPECT_TRUE(result.problems.messages.empty());
    EXPECT_EQ(testutil::ReadFile(path), before);
    EXPECT_EQ(testutil::ReadFile(path + "-wal"), walBefore);
    f.Exec("ROLLBACK;");
}

TEST(HostilePlaces, AFolderThatIsItsOwnAncestorIsWalkedOnce) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    {
        PlacesFixture f(path);
        FillPlaces(f);
        // Without its key the table takes a second row of folder 12 whose parent is 12 itself.
        f.Exec("CREATE TABLE b2 AS SELECT * FROM moz_bookmarks; DROP TABLE moz_bookmarks; "
               "ALTER TABLE b2 RENAME TO moz_bookmarks;");
        f.Folder(12, 12, 9, "Loop");
    }
    CBrindleDoc doc;
    const ImportResult result = ImportFirefoxPlaces(doc, path);
    EXPECT_EQ(result.format, FormatId::FirefoxPlaces);
    EXPECT_EQ(result.added, 3);
}
