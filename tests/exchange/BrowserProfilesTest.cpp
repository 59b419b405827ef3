// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmarks read from browser profiles (Firefox places.sqlite, Chromium Bookmarks) and the page
// read from a Firefox session file. Every fixture is made by the tests: a SQLite database with
// the tables and columns the reader uses (support/PlacesFixture.h), JSON text, and LZ4 blocks
// written with liblz4.

#include "support/BookmarkLookup.h"
#include "support/MozLz4.h"
#include "support/PlacesFixture.h"
#include "support/TestFiles.h"

#include "exchange/BrowserSession.h"
#include "exchange/ChromiumBookmarks.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/FirefoxPlaces.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>

using namespace brindle;
using testutil::FindByName;
using testutil::FindByUrl;

using testutil::FillPlaces;
using testutil::kSecond;
using testutil::MozLz4;
using testutil::PlacesFixture;

TEST(FirefoxPlaces, FoldersTagsDatesAndDescriptions) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    {
        PlacesFixture f(path);
        FillPlaces(f);
    }
    CBrindleDoc doc;
    const ImportResult result = ImportFirefoxPlaces(doc, path);
    EXPECT_EQ(result.added, 3);
    EXPECT_TRUE(result.problems.messages.empty());
    ASSERT_EQ(doc.Bookmarks().size(), 3u);

    // The menu is the top level, as in Firefox's own Netscape export; case is kept.
    const auto search = FindByName(doc, "Search & \"Quotes\"");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->m_strURL, "https://example.com/Search?a=1&b=\"x\"");
    // The keyword rules of the store keep the words that can be searched for.
    EXPECT_EQ(search->m_strKeywords, "search");
    EXPECT_EQ(search->m_tAddDate, 1600000000);
    EXPECT_EQ(search->m_tLastModified, 1600000005);
    EXPECT_EQ(search->m_tLastVisited, 1700000000);
    EXPECT_EQ(search->m_strStatus, "Waiting");
    EXPECT_EQ(search->m_strSchedule, "<None>");
    EXPECT_EQ(search->m_wStatusChecking, 1);

    const auto news = FindByName(doc, "News Site");
    ASSERT_TRUE(news);
    EXPECT_EQ(news->m_strKeywords, "work stuff deep news site reading daily");
    EXPECT_EQ(news->m_strDescription, "Morning paper");
    EXPECT_EQ(news->m_tAddDate, 0);

    const auto umlaut = FindByUrl(doc, "https://Übung.example/Straße");
    ASSERT_TRUE(umlaut);
    EXPECT_EQ(umlaut->m_strName, "Übung Straße");
    EXPECT_EQ(umlaut->m_strKeywords, "bookmarks toolbar übung straße");

    // Firefox's saved queries are not pages.
    EXPECT_FALSE(FindByName(doc, "Most Visited"));
}

TEST(FirefoxPlaces, DescriptionsOfCurrentProfilesComeFromThePagesTable) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    PlacesFixture f(path);
    FillPlaces(f);
    // As Firefox writes it from version 63 on: a page's description in moz_places.
    f.Exec("ALTER TABLE moz_places ADD COLUMN description TEXT;"
           "UPDATE moz_places SET description = ' Search the web ' WHERE id = 100;"
           "UPDATE moz_places SET description = 'From the page' WHERE id = 101;");
    auto description = [&](const std::string& name) {
        CBrindleDoc doc;
        EXPECT_EQ(ImportFirefoxPlaces(doc, path, {}).added, 3);
        const auto b = FindByName(doc, name);
        return b ? std::string(b->m_strDescription) : std::string("(missing)");
    };
    EXPECT_EQ(description("Search & \"Quotes\""), "Search the web");
    EXPECT_EQ(description("News Site"), "Morning paper") << "the annotation first";
    f.Exec("DROP TABLE moz_items_annos; DROP TABLE moz_anno_attributes;");
    EXPECT_EQ(description("News Site"), "From the page");
}

TEST(FirefoxPlaces, ALockedDatabaseIsReadWithoutWaiting) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    PlacesFixture f(path);
    FillPlaces(f);
    // A running browser holding the database in an exclusive transaction.
    f.Exec("BEGIN EXCLUSIVE; INSERT INTO moz_places (id, url) VALUES (200, 'http://pending/');");
    CBrindleDoc doc;
    const ImportResult result = ImportFirefoxPlaces(doc, path);
    EXPECT_EQ(result.added, 3);
    EXPECT_TRUE(result.problems.messages.empty());
    EXPECT_FALSE(FindByUrl(doc, "http://pending/"));
    f.Exec("ROLLBACK;");
}

TEST(FirefoxPlaces, ChangesStillInTheWriteAheadLogAreSeenAndTheFilesStayUntouched) {
    testutil::TempDirectory dir;
    const std::string path = dir.File("places.sqlite");
    PlacesFixture f(path);
    f.Exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    FillPlaces(f);
    f.Place(300, "http://fresh.example/");
    f.Item(30, 1, 300, 5, 0, "Fresh");
    ASSERT_GT(std::filesystem::file_size(path + "-wal"), 0u);
    const std::string before = testutil::ReadFile(path);
    const std::string walBefore = testutil::ReadFile(path + "-wal");

    CBrindleDoc doc;
    EXPECT_EQ(ImportFirefoxPlaces(doc, path).added, 4);
    const auto fresh = FindByName(doc, "Fresh");
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->m_strKeywords, "other bookmarks fresh");
    EXPECT_EQ(testutil::ReadFile(path), before);
    EXPECT_EQ(testutil::ReadFile(path + "-wal"), walBefore);
}

TEST(FirefoxPlaces, FilesThatAreNoPlacesDatabaseAreReported) {
    testutil::TempDirectory dir;
    {
        sqlite3* db = nullptr;
        sqlite3_open(dir.File("other.sqlite").c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    testutil::WriteFile(dir.Path() / "junk.sqlite", "SQLite format 3");
    for (const char* name : {"other.sqlite", "junk.sqlite", "missing.sqlite"}) {
        CBrindleDoc doc;
        const ImportResult result = ImportFirefoxPlaces(doc, dir.File(name));
        EXPECT_EQ(result.format, FormatId::None) << name;
        EXPECT_TRUE(result.problems.Contains("cannot open the file")) << name;
        EXPECT_TRUE(doc.Bookmarks().empty());
    }
}

TEST(ChromiumBookmarks, RootsFoldersAndWindowsEpochDates) {
    // 13,300,000,000,000,000 µs after 1601 = 1,655,526,400 s after 1970.
    const std::string json = R"({
      "checksum": "0", "version": 1,
      "roots": {
        "bookmark_bar": {"type": "folder", "name": "Bookmarks bar", "children": [
          {"type": "url", "name": "Search & \"Quotes\"", "url": "https://example.com/?a=1&b=%22",
           "date_added": "13300000000000000", "date_last_used": "0"},
          {"type": "folder", "name": "Dev Tools", "children": [
            {"type": "folder", "name": "Empty", "children": []},
            {"type": "folder", "name": "Nested", "children": [
              {"type": "url", "name": "Référence", "url": "https://Docs.example/Ref",
               "date_added": "13300000001000000"}]}]}]},
        "other": {"type": "folder", "name": "Other bookmarks", "children": [
          {"type": "url", "name": "Elsewhere", "url": "http://else.example/"},
          {"type": "url", "name": "Elsewhere", "url": "http://else.example/"},
          {"type": "url", "name": " ", "url": "http://untitled.example/"}]},
        "synced": {"type": "folder", "name": "Mobile bookmarks", "children": [
          {"type": "url", "name": "NoAddress", "url": ""}]}
      }})";
    CBrindleDoc doc;
    // The duplicate is refused by the document and not counted; an untitled link is named by
    // its address.
    EXPECT_EQ(ReadChromiumBookmarksText(doc, json).added, 4);
    ASSERT_EQ(doc.Bookmarks().size(), 4u);
    EXPECT_TRUE(FindByName(doc, "http://untitled.example/"));
    const auto search = FindByName(doc, "Search & \"Quotes\"");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->m_strURL, "https://example.com/?a=1&b=%22");
    EXPECT_EQ(search->m_strKeywords, "bookmarks bar search");
    EXPECT_EQ(search->m_tAddDate, 1655526400);
    EXPECT_EQ(search->m_tLastVisited, 0);
    const auto ref = FindByName(doc, "Référence");
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->m_strURL, "https://Docs.example/Ref");
    EXPECT_EQ(ref->m_strKeywords, "bookmarks bar dev tools nested référence");
    EXPECT_EQ(ref->m_tAddDate, 1655526401);
    EXPECT_EQ(FindByName(doc, "Elsewhere")->m_strKeywords, "other bookmarks elsewhere");
}

TEST(ChromiumBookmarks, DamagedFilesAddNothing) {
    for (const char* text : {"", "{", "[]", "{\"roots\": 5}", "{\"roots\": {\"other\": 7}}",
                             "{\"roots\": {\"other\": {\"children\": [1, null, {}]}}}"}) {
        CBrindleDoc doc;
        EXPECT_EQ(ReadChromiumBookmarksText(doc, text).added, 0) << text;
        EXPECT_TRUE(doc.Bookmarks().empty()) << text;
    }
    EXPECT_EQ(ChromiumTimeToSeconds(0), 0);
    EXPECT_EQ(ChromiumTimeToSeconds(5), 0); // before 1970
}

TEST(BrowserFiles, TheImportRecognisesThemByContent) {
    testutil::TempDirectory dir;
    { PlacesFixture f(dir.File("places.sqlite")); }
    testutil::WriteFile(dir.Path() / "Bookmarks",
                        "\xEF\xBB\xBF\n{\n \"checksum\": \"1\",\n \"roots\": {}}");
    testutil::WriteFile(dir.Path() / "notes", "{\"other\": 1}");
    testutil::WriteFile(dir.Path() / "data.json", "{\"roots\": {}}");
    const auto formatOf = [](const std::string& path) {
        const ExchangeFormat* format = ImportFormatFor(path);
        return format ? format->id : FormatId::None;
    };
    EXPECT_EQ(formatOf(dir.File("places.sqlite")), FormatId::FirefoxPlaces);
    EXPECT_EQ(formatOf(dir.File("Bookmarks")), FormatId::Chromium);
    EXPECT_EQ(formatOf(dir.File("data.json")), FormatId::Chromium);
    EXPECT_EQ(formatOf(dir.File("notes")), FormatId::None);
    EXPECT_EQ(formatOf(dir.File("nothing")), FormatId::None);
}

TEST(FirefoxSession, TheSelectedTabOfTheLastUsedWindow) {
    const std::string json = R"({"version": ["sessionrestore", 1], "selectedWindow": 2,
      "windows": [
        {"selected": 1, "tabs": [{"index": 1, "entries": [{"url": "http://first/", "title": "First"}]}]},
        {"selected": 2, "tabs": [
          {"index": 1, "entries": [{"url": "http://other/", "title": "Other"}]},
          {"index": 1, "entries": [
             {"url": "https://Example.com/a?x=1&y=\"2\"", "title": "Title, with \"quotes\" ünd comma"},
             {"url": "http://forward/", "title": "Forward"}]}]}]})";
    const std::string reply = FirefoxSessionReply(MozLz4(json));
    EXPECT_EQ(reply,
              "\"https://Example.com/a?x=1&y=%222%22\",\"Title, with \"quotes\" ünd comma\"");
    const BrowserPage page = ParseBrowserReply(reply);
    EXPECT_EQ(page.url, "https://Example.com/a?x=1&y=%222%22");
    EXPECT_EQ(page.title, "Title, with \"quotes\" ünd comma");
}

TEST(FirefoxSession, DamagedFilesGiveNothing) {
    const std::string json =
        R"({"windows": [{"tabs": [{"entries": [{"url": "http://a/", "title": "A"}]}]}]})";
    const std::string good = MozLz4(json);
    ASSERT_EQ(FirefoxSessionReply(good), "\"http://a/\",\"A\"");

    std::string badMagic = good;
    badMagic[3] = 'X';
    EXPECT_EQ(FirefoxSessionReply(badMagic), "");
    EXPECT_EQ(FirefoxSessionReply(good.substr(0, good.size() - 5)), ""); // short block
    EXPECT_EQ(FirefoxSessionReply(good.substr(0, 10)), "");              // short header
    EXPECT_EQ(FirefoxSessionReply(MozLz4(json, static_cast<std::uint32_t>(json.size() + 7))), "");
    EXPECT_EQ(FirefoxSessionReply(MozLz4(json, static_cast<std::uint32_t>(json.size() - 7))), "");
    EXPECT_EQ(FirefoxSessionReply(MozLz4(json, 0xFFFFFFFFu)), "");
    EXPECT_EQ(FirefoxSessionReply(MozLz4("not json")), "");
    EXPECT_EQ(FirefoxSessionReply(MozLz4(R"({"windows": []})")), "");
    EXPECT_EQ(FirefoxSessionReply(MozLz4(R"({"windows": [{"tabs": [{"entries": [{}]}]}]})")), "");
}

TEST(BrowserReply, ParsedAsTheCaptureCommandsReadIt) {
    BrowserPage p = ParseBrowserReply("\" http://a/ \",\" A title \",\"THISWINDOW\"");
    EXPECT_EQ(p.url, "http://a/");
    EXPECT_EQ(p.title, "A title");
    p = ParseBrowserReply("\"http://a/\",\"Hello, world\"");
    EXPECT_EQ(p.title, "Hello, world");
    p = ParseBrowserReply("\"http://a/\"");
    EXPECT_EQ(p.url, "http://a/");
    EXPECT_EQ(p.title, "");
    p = ParseBrowserReply("\"http://a/\",\"");
    EXPECT_EQ(p.title, "");
    p = ParseBrowserReply("");
    EXPECT_EQ(p.url, "");
}

namespace {

// A Chromium session log written command by command.
class SnssLog {
  public:
    SnssLog() { m_bytes = "SNSS" + I32(3); }
    static std::string I32(std::int32_t v) {
        std::string out;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
        return out;
    }
    void Command(int id, const std::string& payload) {
        const auto size = static_cast<std::uint16_t>(payload.size() + 1);
        m_bytes += static_cast<char>(size & 0xFF);
        m_bytes += static_cast<char>(size >> 8);
        m_bytes += static_cast<char>(id);
        m_bytes += payload;
    }
    void Pair(int id, std::int32_t a, std::int32_t b) { Command(id, I32(a) + I32(b)); }
    // A navigation pickle: size, tab, index, URL, UTF-16 title, then fields not read.
    void Navigation(std::int32_t tab, std::int32_t index, const std::string& url,
                    const std::u16string& title) {
        std::string body = I32(tab) + I32(index) + I32(static_cast<std::int32_t>(url.size())) + url;
        body.resize((body.size() + 3) / 4 * 4, '\0');
        body += I32(static_cast<std::int32_t>(title.size()));
        for (const char16_t c : title) {
            body += static_cast<char>(c & 0xFF);
            body += static_cast<char>(c >> 8);
        }
        body.resize((body.size() + 3) / 4 * 4, '\0');
        body += I32(0) + I32(0); // state and transition
        Command(6, I32(static_cast<std::int32_t>(body.size())) + body);
    }
    const std::string& Bytes() const { return m_bytes; }

  private:
    std::string m_bytes;
};

// Window 1: tabs 10 and 11 (11 selected, on its second page); window 2: tab 20.
SnssLog TwoWindows(std::int32_t activeWindow) {
    SnssLog log;
    log.Pair(0, 1, 10); // tab 10 in window 1
    log.Pair(2, 10, 0);
    log.Navigation(10, 0, "http://ten.example/", u"Ten");
    log.Pair(0, 1, 11);
    log.Pair(2, 11, 1);
    log.Navigation(11, 0, "http://eleven.example/old", u"Old");
    log.Navigation(11, 1, "https://Eleven.example/?a=1&b=\"2\"", u"Ünïcode, \"Title\"");
    log.Pair(7, 11, 1);
    log.Pair(8, 1, 1); // window 1 shows its tab at index 1
    log.Pair(0, 2, 20);
    log.Navigation(20, 0, "http://twenty.example/", u"Twenty");
    log.Command(20, SnssLog::I32(activeWindow));
    return log;
}

} // namespace

TEST(ChromiumSession, TheSelectedTabOfTheActiveWindow) {
    EXPECT_EQ(ChromiumSessionReply(TwoWindows(1).Bytes()),
              "\"https://Eleven.example/?a=1&b=%222%22\",\"Ünïcode, \"Title\"\"");
    EXPECT_EQ(ChromiumSessionReply(TwoWindows(2).Bytes()), "\"http://twenty.example/\",\"Twenty\"");

    // Closing the active window leaves the latest window that still has tabs.
    SnssLog closed = TwoWindows(2);
    closed.Command(17, SnssLog::I32(2) + std::string(8, '\0'));
    EXPECT_EQ(ChromiumSessionReply(closed.Bytes()),
              "\"https://Eleven.example/?a=1&b=%222%22\",\"Ünïcode, \"Title\"\"");
    closed.Command(17, SnssLog::I32(1) + std::string(8, '\0'));
    EXPECT_EQ(ChromiumSessionReply(closed.Bytes()), "");
    SnssLog tabClosed = TwoWindows(1);
    tabClosed.Command(16, SnssLog::I32(11) + std::string(8, '\0'));
    EXPECT_EQ(ChromiumSessionReply(tabClosed.Bytes()), "\"http://ten.example/\",\"Ten\"");
}

TEST(ChromiumSession, DamagedLogsGiveNothingOrWhatWasWhole) {
    const std::string whole = TwoWindows(1).Bytes();
    EXPECT_EQ(ChromiumSessionReply(""), "");
    EXPECT_EQ(ChromiumSessionReply("SNSX" + whole.substr(4)), "");
    // Cut anywhere: never a crash, and a reply only from whole commands.
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const std::string reply = ChromiumSessionReply(whole.substr(0, cut));
        EXPECT_TRUE(reply.empty() || reply.front() == '"') << cut;
    }
    // A navigation whose lengths point past its command.
    SnssLog bad;
    bad.Pair(0, 1, 10);
    bad.Command(6, SnssLog::I32(40) + SnssLog::I32(10) + SnssLog::I32(0) +
                       SnssLog::I32(0x7FFFFFFF) + "http://");
    EXPECT_EQ(ChromiumSessionReply(bad.Bytes()), "");
}
