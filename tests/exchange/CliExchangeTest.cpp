// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli import, export and export-profile, run as a program.

#include "support/BookmarkLookup.h"
#include "support/PlacesFixture.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

using namespace brindle;
namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

using CliRun = testutil::ProgramRun;

class CliExchange : public ::testing::Test {
  protected:
    testutil::TempDirectory dir;

    // Runs brindle-cli with HOME in the test's folder (profiles are found from there).
    CliRun Cli(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args,
                                    {"HOME=" + dir.Path().string(), "TZ=UTC"}, dir.Path());
    }

    std::unique_ptr<CBrindleDoc> Load(const std::string& path) {
        auto doc = std::make_unique<CBrindleDoc>();
        EXPECT_TRUE(ReadDocumentFile(*doc, path).ok) << path;
        return doc;
    }

    // A document of three bookmarks made through the command line itself.
    std::string MakeDocument() {
        const std::string brx = dir.File("doc.brx");
        const CliRun run =
            Cli({"import", brx, testutil::ExchangeDataFile("chrome.html"), "--no-backup"});
        EXPECT_EQ(run.code, 0) << run.err;
        return brx;
    }
};

} // namespace

TEST_F(CliExchange, ImportReadsEachInputByItsKindAndCreatesTheDocument) {
    const std::string brx = dir.File("new.brx");
    const CliRun run =
        Cli({"import", brx, testutil::ExchangeDataFile("firefox.html"),
             testutil::ExchangeDataFile("powermarks.htm"),
             testutil::ExchangeDataFile("url/Example Site.url"), testutil::ExchangeDataFile("url"),
             testutil::ExchangeDataFile("page.html")});
    EXPECT_EQ(run.code, 1); // the folder holds a file that is no shortcut
    EXPECT_EQ(
        run.out,
        testutil::ExchangeDataFile("firefox.html") + ": 5 bookmarks, 0 macros, 0 schedules\n" +
            testutil::ExchangeDataFile("powermarks.htm") +
            ": 4 bookmarks, 3 macros, 2 schedules\n" +
            testutil::ExchangeDataFile("url/Example Site.url") +
            ": 1 bookmarks, 0 macros, 0 schedules\n" + testutil::ExchangeDataFile("url") +
            ": 1 bookmarks, 0 macros, 0 schedules\n" + testutil::ExchangeDataFile("page.html") +
            ": 6 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_THAT(run.err, HasSubstr("no-section.url: Cannot open this file as a URL file"));
    const auto doc = Load(brx);
    EXPECT_EQ(doc->Bookmarks().size(), 17u);
    EXPECT_EQ(doc->Macros().size(), 3u);
    EXPECT_NE(testutil::FindByName(*doc, "Rye Bread \"Classic\""), nullptr);
    EXPECT_NE(testutil::FindByName(*doc, "IE Created"), nullptr);
}

TEST_F(CliExchange, ImportStopsAtAnInputWithAnotherExtensionKeepingEarlierOnes) {
    const std::string brx = dir.File("stop.brx");
    testutil::WriteFile(dir.Path() / "Bookmark.HTM",
                        testutil::ReadFile(testutil::ExchangeDataFile("chrome.html")));
    const CliRun run = Cli({"import", brx, testutil::ExchangeDataFile("safari.html"),
                            dir.File("Bookmark.HTM"), testutil::ExchangeDataFile("chrome.html")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out,
              testutil::ExchangeDataFile("safari.html") + ": 2 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_THAT(run.err, HasSubstr("Bookmark.HTM: not an .htm, .html, .url or .xbel file"));
    EXPECT_EQ(Load(brx)->Bookmarks().size(), 2u);
}

TEST_F(CliExchange, ImportReportsAFileThatCannotBeOpened) {
    const std::string brx = dir.File("missing.brx");
    const CliRun run =
        Cli({"import", brx, dir.File("absent.html"), testutil::ExchangeDataFile("safari.html")});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.err, HasSubstr("absent.html: cannot open the file"));
    EXPECT_THAT(run.out, HasSubstr("absent.html: 0 bookmarks, 0 macros, 0 schedules\n"));
    EXPECT_EQ(Load(brx)->Bookmarks().size(), 2u);
    EXPECT_EQ(Cli({"import", brx}).code, 2); // at least one input
}

TEST_F(CliExchange, ExportWritesEachFormat) {
    const std::string brx = MakeDocument();
    CliRun run = Cli({"export", brx, "--format", "netscape", "--out", dir.File("out.htm"),
                      "--title", "Mine", "--sort", "Add date", "--descending"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Export is successful\n");
    const std::string netscape = testutil::ReadFile(dir.Path() / "out.htm");
    EXPECT_THAT(netscape, HasSubstr("<TITLE>Mine</TITLE>\r\n"));
    // Newest first.
    EXPECT_LT(netscape.find("ADD_DATE=\"1650000005\""), netscape.find("ADD_DATE=\"1650000004\""));

    run = Cli({"export", brx, "--format", "text", "--out", dir.File("out.txt"), "--fields", "0,8"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string text = testutil::ReadFile(dir.Path() / "out.txt");
    EXPECT_THAT(text, HasSubstr("Name:GitHub\r\nAdd Date:2022-04-15 05:20:04\r\n"));
    EXPECT_EQ(text.find("URL:"), std::string::npos);

    for (const char* format : {"powermarks", "html"}) {
        run = Cli(
            {"export", brx, "--format", format, "--out", dir.File(std::string(format) + ".htm")});
        EXPECT_EQ(run.code, 0) << format << run.err;
    }
    run = Cli({"export", brx, "--format", "favorites", "--out", dir.File("fav")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "fav/Brindle_addin/GitHub.url"));
}

TEST_F(CliExchange, ExportSelectedRowsInListOrder) {
    const std::string brx = MakeDocument();
    // The list shows the bookmarks by name: GitHub, Google Search, then the Cyrillic one.
    const CliRun run = Cli({"export", brx, "--format", "text", "--out", dir.File("sel.txt"),
                            "--fields", "0", "--rows", "2,0,7"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string text = testutil::ReadFile(dir.Path() / "sel.txt");
    EXPECT_LT(text.find("Name:GitHub"), text.find("Name:\xD0\x9B"));
    EXPECT_EQ(text.find("Name:Google Search"), std::string::npos);
}

TEST_F(CliExchange, ExportFailuresAndBadUsage) {
    const std::string brx = MakeDocument();
    CliRun run =
        Cli({"export", brx, "--format", "netscape", "--out", dir.File("no/such/folder.htm")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "Export is not successful\n");
    EXPECT_EQ(run.err, "cannot write the file\n");
    EXPECT_EQ(Cli({"export", brx, "--format", "pdf", "--out", dir.File("x")}).code, 2);
    EXPECT_EQ(Cli({"export", brx, "--format", "text"}).code, 2);
    EXPECT_EQ(
        Cli({"export", brx, "--format", "text", "--out", dir.File("x"), "--sort", "name"}).code, 2);
    EXPECT_EQ(
        Cli({"export", brx, "--format", "text", "--out", dir.File("x"), "--fields", "12"}).code, 2);
    EXPECT_EQ(
        Cli({"export", dir.File("absent.brx"), "--format", "text", "--out", dir.File("x")}).code,
        1);
}

TEST_F(CliExchange, ExportProfilePrintsTheTotals) {
    const std::string brx = MakeDocument();
    testutil::WriteFile(dir.Path() / ".mozilla/firefox/profiles.ini",
                        "[Profile0]\nName=alice\nIsRelative=1\nPath=a.default\n\n"
                        "[Profile1]\nName=bob\nIsRelative=1\n");
    CliRun run = Cli({"export-profile", brx, "--user", "alice", "--user", "bob"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out,
              "Export Information:\nTotal file number:2\nSuccessful exporting files number:1\n");
    EXPECT_EQ(run.err, "bob's Netscape profile directory does not appear,export failed\n");
    const std::string written =
        testutil::ReadFile(dir.Path() / ".mozilla/firefox/a.default/bookmark.htm");
    EXPECT_THAT(written, HasSubstr("<DT><A HREF=\"https://github.com/\""));

    // A second export refreshes Brindle's section of the existing file.
    run = Cli({"export-profile", brx, "--user", "alice"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Successful exporting files number:1"));
    EXPECT_EQ(Cli({"export-profile", brx}).code, 2);
}

TEST_F(CliExchange, ImportRecognisesBrowserProfileFilesByContent) {
    const fs::path profile = dir.Path() / "profile";
    fs::create_directories(profile);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((profile / "places.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, "
                           "last_visit_date INTEGER);"
                           "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk "
                           "INTEGER, parent INTEGER, position INTEGER, title TEXT, dateAdded "
                           "INTEGER, lastModified INTEGER, guid TEXT);"
                           "INSERT INTO moz_places VALUES (1, 'http://Fire.example/', 0);"
                           "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', 0, 0, "
                           "'root________'), (2, 2, NULL, 1, 0, 'menu', 0, 0, 'menu________'), "
                           "(3, 1, 1, 2, 0, 'Fire Page', 1500000000000000, 0, 'x');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    testutil::WriteFile(profile / "Bookmarks",
                        R"({"roots": {"other": {"type": "folder", "name": "Other", "children": [
                          {"type": "url", "name": "Chrome Page", "url": "http://chrome.example/"},
                          {"type": "url", "name": "Second", "url": "http://second.example/"}]}}})");
    testutil::WriteFile(profile / "prefs", "user_pref(\"a\", 1);");
    const std::string brx = dir.File("profiles.brx");
    const CliRun run = Cli({"import", brx, (profile / "places.sqlite").string(),
                            (profile / "Bookmarks").string(), (profile / "prefs").string()});
    EXPECT_EQ(run.code, 1); // the last input is neither
    EXPECT_EQ(run.out,
              (profile / "places.sqlite").string() + ": 1 bookmarks, 0 macros, 0 schedules\n" +
                  (profile / "Bookmarks").string() + ": 2 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_THAT(run.err, HasSubstr("prefs: not an .htm, .html, .url or .xbel file"));
    const auto doc = Load(brx);
    ASSERT_EQ(doc->Bookmarks().size(), 3u);
    const auto fire = testutil::FindByName(*doc, "Fire Page");
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(fire->m_strURL, "http://Fire.example/");
    EXPECT_EQ(fire->m_tAddDate, 1500000000);
    EXPECT_EQ(testutil::FindByName(*doc, "Chrome Page")->m_strKeywords, "other chrome page");
}

TEST_F(CliExchange, AHostilePlacesDatabaseFailsNamingTheFileAndTheImportGoesOn) {
    const std::string places = dir.File("places.sqlite");
    {
        testutil::PlacesFixture f(places);
        testutil::FillPlaces(f);
        f.MakePlacesAnEndlessView();
    }
    const std::string brx = dir.File("hostile.brx");
    const CliRun run =
        Cli({"import", brx, places, testutil::ExchangeDataFile("safari.html"), "--no-backup"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, places + ": cannot open the file\n");
    EXPECT_EQ(run.out, places + ": 0 bookmarks, 0 macros, 0 schedules\n" +
                           testutil::ExchangeDataFile("safari.html") +
                           ": 2 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_EQ(Load(brx)->Bookmarks().size(), 2u);
}
