// SPDX-License-Identifier: GPL-3.0-or-later
// Internet shortcut files: reading one, walking a folder tree, writing the export.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/Favorites.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brindle;
using testutil::FindByName;

namespace fs = std::filesystem;

TEST(UrlFile, ReadsTheShortcutSectionKeepingCase) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "My Site.v2.url",
                        "[DEFAULT]\r\nBASEURL=http://wrong/\r\n[InternetShortcut]\r\n"
                        "  URL=http://Example.COM/Path?A=B  \r\nIconIndex=0\r\n");
    const ImportResult result = ImportUrlFile(doc, dir.File("My Site.v2.url"));
    EXPECT_EQ(result.added, 1);
    EXPECT_TRUE(result.problems.messages.empty());
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    const BookmarkRef b = doc.Bookmarks()[0];
    EXPECT_EQ(b.m_strName, "My Site"); // up to the first dot of the file name
    EXPECT_EQ(b.m_strURL, "http://Example.COM/Path?A=B");
    EXPECT_EQ(b.m_strKeywords, "my site");
    EXPECT_EQ(b.m_strSchedule, "<None>");
    EXPECT_EQ(b.m_strStatus, "Waiting");
    EXPECT_EQ(b.m_wStatusChecking, 1);
    EXPECT_GT(b.m_tAddDate, 0);
    EXPECT_EQ(b.m_tLastVisited, 0);
}

TEST(UrlFile, KeywordsOnlyFromPlainNames) {
    CBrindleDoc doc;
    const std::string text = "[InternetShortcut]\nURL=http://x/\n";
    ReadUrlFileText(doc, "News Daily.url", text, 1);
    ReadUrlFileText(doc, "Tools & More.url", text, 1);
    ReadUrlFileText(doc, "web-log.url", text, 1);
    ReadUrlFileText(doc, "Caf\xC3\xA9 \xC3\x80 Paris.url", text, 1);
    EXPECT_EQ(FindByName(doc, "News Daily")->m_strKeywords, "news daily");
    EXPECT_EQ(FindByName(doc, "Tools & More")->m_strKeywords, "");
    EXPECT_EQ(FindByName(doc, "web-log")->m_strKeywords, "");
    EXPECT_EQ(FindByName(doc, "Caf\xC3\xA9 \xC3\x80 Paris")->m_strKeywords,
              "caf\xC3\xA9 \xC3\xA0 paris");
}

TEST(UrlFile, MessagesForFilesThatAreNotShortcuts) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    ImportResult result = ImportUrlFile(doc, dir.File("absent.url"));
    EXPECT_EQ(result.added, 0);
    ExchangeReport& report = result.problems;
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "cannot open the file");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Stop);

    // No section at all, or a URL outside it: nothing added, and the information message.
    testutil::WriteFile(dir.Path() / "bare.url", "http://bare.example/\nURL=http://outside/\n");
    result = ImportUrlFile(doc, dir.File("bare.url"));
    EXPECT_EQ(result.added, 0);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "Cannot open this file as a URL file");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Information);

    // A property section after the shortcut's (as Windows writes them) is no failure.
    testutil::WriteFile(dir.Path() / "ie.url",
                        "[InternetShortcut]\nURL=http://ie/\n[{000214A0-0000-0000-C000-"
                        "000000000046}]\nProp3=19,2\nURL=http://not-in-section/\n");
    result = ImportUrlFile(doc, dir.File("ie.url"));
    EXPECT_EQ(result.added, 1);
    EXPECT_TRUE(report.messages.empty());
    EXPECT_EQ(FindByName(doc, "ie")->m_strURL, "http://ie/");

    // A line with '[' but no ']' does not close the section; every URL line adds one.
    testutil::WriteFile(dir.Path() / "two.url", "[internetshortcut]\nurl=http://one/\n[broken\n"
                                                "Url=http://two/\n");
    result = ImportUrlFile(doc, dir.File("two.url"));
    EXPECT_EQ(result.added, 2);
    EXPECT_TRUE(report.messages.empty());
}

TEST(FavoritesTree, WalksSubfoldersAndReadsOnlyDotUrlFiles) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    const std::string shortcut = "[InternetShortcut]\r\nURL=http://";
    testutil::WriteFile(dir.Path() / "Top.url", shortcut + "top/\r\n");
    testutil::WriteFile(dir.Path() / "Links/Inner.url", shortcut + "inner/\r\n");
    testutil::WriteFile(dir.Path() / "Links/Deeper/Deep.url", shortcut + "deep/\r\n");
    testutil::WriteFile(dir.Path() / "Links/CAPS.URL", shortcut + "caps/\r\n");
    testutil::WriteFile(dir.Path() / "notes.txt", shortcut + "txt/\r\n");
    testutil::WriteFile(dir.Path() / "Broken.url", "nothing here\n");
    const ImportResult result = ImportFavoritesTree(doc, dir.File("*"));
    EXPECT_EQ(result.added, 3);
    const ExchangeReport& report = result.problems;
    ASSERT_EQ(doc.Bookmarks().size(), 3u);
    // Depth first in name order: "Broken.url", "Links/...", "Top.url".
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Deep");
    EXPECT_EQ(doc.Bookmarks()[1].m_strName, "Inner");
    EXPECT_EQ(doc.Bookmarks()[2].m_strName, "Top");
    EXPECT_EQ(doc.Bookmarks()[1].m_strKeywords, "inner"); // the folder adds no keyword
    // The broken file says so and the walk goes on.
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "Cannot open this file as a URL file");
}

TEST(FavoritesTree, DoesNotFollowLinkedFolders) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "a/One.url", "[InternetShortcut]\nURL=http://one/\n");
    std::error_code ec;
    fs::create_directory_symlink(dir.Path(), dir.Path() / "a/loop", ec);
    if (ec)
        GTEST_SKIP() << "cannot create a symbolic link here: " << ec.message();
    EXPECT_EQ(ImportFavoritesTree(doc, dir.Path().string()).added, 1);
}

TEST(FavoritesTree, CountsDuplicatesAndGivesEachProblemItsPosition) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    const std::string shortcut = "[InternetShortcut]\nURL=http://same/\n";
    // In walk order: a/Same.url, b/Bad.url, b/Same.url (the same bookmark again), c/Worse.url.
    testutil::WriteFile(dir.Path() / "a/Same.url", shortcut);
    testutil::WriteFile(dir.Path() / "b/Bad.url", "no shortcut\n");
    testutil::WriteFile(dir.Path() / "b/Same.url", shortcut);
    testutil::WriteFile(dir.Path() / "c/Worse.url", "[Other]\nURL=http://x/\n");
    const ImportResult result = ImportFavoritesTree(doc, dir.Path().string());
    EXPECT_EQ(result.format, FormatId::Favorites);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.duplicates, 1);
    const auto& problems = result.problems.messages;
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].position, 2u);
    EXPECT_EQ(problems[0].file, dir.File("b/Bad.url"));
    EXPECT_EQ(problems[1].position, 4u);
    EXPECT_EQ(problems[1].file, dir.File("c/Worse.url"));
}

TEST(FavoritesExport, WritesOneShortcutPerBookmarkIntoItsOwnFolder) {
    CBrindleDoc doc;
    doc.AddBookmark({.name = "Home page 2.0",
                     .url = "http://home/",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting});
    doc.AddBookmark({.name = "What? A/B: \"C\" <D> | E*\\F",
                     .url = "http://odd/",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting});
    doc.AddBookmark({.name = "Home page 2 0",
                     .url = "http://later/",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting});
    testutil::TempDirectory dir;
    ExportOptions options;
    options.sortField.clear();
    ExchangeReport report;
    ASSERT_TRUE(ExportFavorites(doc, dir.File("new/parent"), options, report));
    const fs::path out = dir.Path() / "new/parent/Brindle_addin";
    EXPECT_EQ(testutil::ReadFile(out / "Home page 2 0.url"),
              "[InternetShortcut]\r\nURL=http://later/\r\n"); // equal names: the later wins
    EXPECT_EQ(testutil::ReadFile(out / "What_ A_B_ _C_ _D_ _ E__F.url"),
              "[InternetShortcut]\r\nURL=http://odd/\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST(FavoritesExport, FileNamesAreAlwaysUsable) {
    EXPECT_EQ(FavoritesFileName("  a.b.c  "), "a b c");
    EXPECT_EQ(FavoritesFileName("..."), "_");
    EXPECT_EQ(FavoritesFileName(std::string("nul\0byte", 8)), "nul_byte");
    const std::string longName(300, 'x');
    EXPECT_EQ(FavoritesFileName(longName).size(), 250u);
    // A cut never splits a character.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\xC3\xA9";
    const std::string cut = FavoritesFileName(wide);
    EXPECT_LE(cut.size(), 250u);
    EXPECT_EQ(cut.size() % 2, 0u);
}

TEST(FavoritesExport, FailuresAndTheEmptyAllExport) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    ExchangeReport report;
    // Nothing written by an "All" export is a failure, a "Selected" one is not.
    EXPECT_FALSE(ExportFavorites(doc, dir.Path().string(), ExportOptions{}, report));
    ExportOptions selected;
    selected.selectedOnly = true;
    EXPECT_TRUE(ExportFavorites(doc, dir.Path().string(), selected, report));
    EXPECT_TRUE(report.messages.empty());

    testutil::WriteFile(dir.Path() / "file", "x");
    EXPECT_FALSE(ExportFavorites(doc, dir.File("file"), ExportOptions{}, report));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "cannot create specify directory");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Stop);
}
