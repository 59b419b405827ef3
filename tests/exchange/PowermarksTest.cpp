// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing Powermarks 3.0 files.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/ImportFile.h"
#include "exchange/Powermarks.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;
using testutil::FindByName;

TEST(PowermarksReader, DeclinesTextWithoutTheMarker) {
    CBrindleDoc doc;
    EXPECT_FALSE(ImportPowermarks(doc, "<!--macro=[0][a][http://a/][0]--><DT><A HREF=\"x\">y</A>"));
    EXPECT_TRUE(doc.Macros().empty());
    EXPECT_TRUE(doc.Bookmarks().empty());
}

TEST(PowermarksReader, ReadsMacrosSchedulesAndEntriesWithEveryDropRule) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("powermarks.htm")).format,
              FormatId::Powermarks);

    ASSERT_EQ(doc.Macros().size(), 3u);
    const CMacro& url = doc.Macros()[0];
    EXPECT_EQ(url.m_nKind, kMacroUrl);
    EXPECT_EQ(url.m_strName, "Home Page");
    EXPECT_EQ(url.m_strURL, "http://example.com/");
    EXPECT_EQ(url.m_dwHotKey, 0x20041u);
    const CMacro& keywords = doc.Macros()[1];
    EXPECT_EQ(keywords.m_nKind, kMacroKeywords);
    EXPECT_EQ(keywords.m_strKeywords, "news daily");
    EXPECT_EQ(keywords.m_dwHotKey, 0u); // ffffffff: no hot key
    const CMacro& search = doc.Macros()[2];
    EXPECT_EQ(search.m_nKind, kMacroString);
    EXPECT_EQ(search.m_strSearch, "Linux");
    EXPECT_EQ(search.m_bMatchCase, 1); // "1" reads as match case
    EXPECT_EQ(search.m_dwFields, 7u);

    ASSERT_EQ(doc.Schedules().size(), 2u);
    EXPECT_EQ(doc.Schedules()[0].m_strName, "Weekly");
    EXPECT_EQ(doc.Schedules()[0].m_bDefault, 1);
    EXPECT_EQ(doc.Schedules()[0].m_tInterval, 604800);
    EXPECT_EQ(doc.Schedules()[1].m_strName, "Daily");
    EXPECT_EQ(doc.Schedules()[1].m_bDefault, 0);
    EXPECT_EQ(doc.Schedules()[1].m_tInterval, 86400);

    ASSERT_EQ(doc.Bookmarks().size(), 4u);
    const testutil::FoundBookmark alpha = FindByName(doc, "Alpha & Co");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->m_strURL, "http://example.com/a");
    EXPECT_EQ(alpha->m_strKeywords, "alpha co");
    EXPECT_EQ(alpha->m_strDescription, "First <desc>");
    EXPECT_EQ(alpha->m_strNotes, "Some notes");
    EXPECT_EQ(alpha->m_strSchedule, "Weekly"); // a capitalised schedule name matches
    EXPECT_EQ(alpha->m_tAddDate, 0x5f5e1000);
    EXPECT_EQ(alpha->m_tLastVisited, 0x5f5e1001);
    EXPECT_EQ(alpha->m_tLastModified, 0x5f5e1002);
    EXPECT_EQ(alpha->m_tLastChecked, 0x5f5e1003);
    EXPECT_EQ(alpha->m_wStatusChecking, 1);
    EXPECT_EQ(alpha->m_strStatus, "Waiting");

    const testutil::FoundBookmark beta = FindByName(doc, "Beta");
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->m_strSchedule, "<None>");
    EXPECT_EQ(beta->m_wStatusChecking, 0);
    EXPECT_EQ(beta->m_strStatus, "Checking Off");
    EXPECT_EQ(beta->m_strKeywords, "");

    // No metadata comment: the values of the entry before it stand.
    const testutil::FoundBookmark gamma = FindByName(doc, "Gamma");
    ASSERT_NE(gamma, nullptr);
    EXPECT_EQ(gamma->m_wStatusChecking, 0);
    EXPECT_EQ(gamma->m_strStatus, "Checking Off");

    // Unknown schedule, an unreadable date skipped, a group holding '[' not counted.
    const testutil::FoundBookmark delta = FindByName(doc, "Delta");
    ASSERT_NE(delta, nullptr);
    EXPECT_EQ(delta->m_strSchedule, "<None>");
    EXPECT_EQ(delta->m_tAddDate, 0);
    EXPECT_EQ(delta->m_tLastVisited, 0x10);
    EXPECT_EQ(delta->m_tLastModified, 0x20);
    EXPECT_EQ(delta->m_tLastChecked, 4);
    EXPECT_EQ(delta->m_wStatusChecking, 1);
}

TEST(PowermarksReader, MarkerWithoutAnchorsStillAddsMacrosAndSchedules) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportPowermarks(doc, "<!--POWERMARKS FORMAT 3.0-->\n"
                                      "<!--macro=[0][Only][http://only/]-->\n"
                                      "<!--scs=[S][0][ffffffff]-->\n"));
    EXPECT_TRUE(doc.Bookmarks().empty());
    ASSERT_EQ(doc.Macros().size(), 1u);
    EXPECT_EQ(doc.Macros()[0].m_dwHotKey, 0u); // a missing hot key is none
    ASSERT_EQ(doc.Schedules().size(), 1u);
    EXPECT_EQ(doc.Schedules()[0].m_tInterval, -1);
}

TEST(PowermarksReader, HexadecimalNumbers) {
    std::uint32_t v = 1;
    EXPECT_TRUE(ParsePowermarksHex("", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(ParsePowermarksHex("ffffffff", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(ParsePowermarksHex("A0", v));
    EXPECT_EQ(v, 0xA0u);
    EXPECT_FALSE(ParsePowermarksHex("123456789", v));
    EXPECT_FALSE(ParsePowermarksHex("0x10", v));
    EXPECT_FALSE(ParsePowermarksHex("-1", v));
    EXPECT_FALSE(ParsePowermarksHex(" 1", v));
}

// --- Writer ----------------------------------------------------------------------------------

namespace {

void FillForExport(CBrindleDoc& doc) {
    doc.AddSchedule("Weekly [main]", 604800, true);
    doc.AddSchedule("Never", -1, false);
    doc.AddMacro(kMacroUrl, "Go <home>", "http://home/?a=1&b=2", 0x20041);
    doc.AddMacro(kMacroKeywords, "News]x", "news daily", 0);
    doc.AddStringMacro("Find", "Case", 0x1FF, true, 0);
    doc.AddStringMacro("Find2", "any", 3, false, 0x10070);
    doc.AddBookmark({.name = "Alpha & \"Co\"",
                     .url = "http://a/?x=<1>",
                     .keywords = "alpha co",
                     .description = "Desc <b>",
                     .notes = "Notes & more",
                     .statusChecking = 1,
                     .schedule = "Weekly [main]",
                     .status = kStatusWaiting,
                     .addDate = 0x5f5e1000,
                     .lastVisited = 0x5f5e1001,
                     .lastModified = 0x5f5e1002,
                     .lastChecked = 0x5f5e1003});
    doc.AddBookmark(
        {.name = "Beta", .url = "http://b/", .schedule = kNoSchedule, .status = "No change"});
}

} // namespace

TEST(PowermarksWriter, WritesTheExactLayout) {
    CBrindleDoc doc;
    FillForExport(doc);
    testutil::TempDirectory dir;
    ExportOptions options;
    options.title = "T&T";
    ExchangeReport report;
    ASSERT_TRUE(ExportPowermarks(doc, dir.File("pm.htm"), options, report));
    EXPECT_EQ(testutil::ReadFile(dir.File("pm.htm")),
              "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 3.2//EN\">\r\n"
              "<!--Powermarks Format 3.0-->\r\n"
              "<!-- This is an automatically generated file.It will be read and "
              "overwritten.Do Not Edit! -->\r\n"
              "<HTML>\r\n<HEAD>\r\n"
              "<!--macro=[0][Go &lt;home&gt;][http://home/?a=1&amp;b=2][20041]-->\r\n"
              "<!--macro=[1][News&#93;x][news daily][ffffffff][0][1][0]-->\r\n"
              "<!--macro=[2][Find][Case][ffffffff][1][ff]-->\r\n"
              "<!--macro=[2][Find2][any][10070][0][3]-->\r\n"
              "<!--scs=[Weekly &#91;main&#93;][1][93a80]-->\r\n"
              "<!--scs=[Never][0][ffffffff]-->\r\n"
              "<TITLE>T&amp;T</TITLE>\r\n</HEAD>\r\n<BODY><H1>Brindle Export File</H1><DL>\r\n"
              "<DT><A HREF=\"http://a/?x=&lt;1&gt;\">Alpha &amp; &quot;Co&quot;</A>\r\n<DD>\r\n"
              "<!--keywords-->alpha co<!--desc-->Desc &lt;b&gt;<!--notes-->Notes &amp; more"
              "<!--mdata=[Weekly &#91;main&#93;][5f5e1000][5f5e1001][5f5e1002][5f5e1003]"
              "[4][0][1][]-->\r\n<BR>\r\n"
              "<DT><A HREF=\"http://b/\">Beta</A>\r\n<DD>\r\n"
              "<!--keywords--><!--desc--><!--notes-->"
              "<!--mdata=[None][0][0][0][0][4][0][0][]-->\r\n<BR>\r\n"
              "</DL>\r\n</HTML>\r\n");
}

TEST(PowermarksWriter, UntickedFieldsAreLeftOutAndReadBackEmpty) {
    CBrindleDoc doc;
    FillForExport(doc);
    testutil::TempDirectory dir;
    ExportOptions options;
    options.fieldMask = 0x3; // Name and URL only
    ExchangeReport report;
    ASSERT_TRUE(ExportPowermarks(doc, dir.File("pm.htm"), options, report));
    const std::string text = testutil::ReadFile(dir.File("pm.htm"));
    EXPECT_EQ(text.find("<!--keywords-->"), std::string::npos);
    EXPECT_NE(text.find("<!--mdata=[][0][0][0][0][4][0][0][]-->"), std::string::npos);

    CBrindleDoc copy;
    ASSERT_EQ(ImportFile(copy, dir.File("pm.htm")).format, FormatId::Powermarks);
    const testutil::FoundBookmark alpha = FindByName(copy, "Alpha & \"Co\"");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->m_strKeywords, "");
    EXPECT_EQ(alpha->m_strDescription, "");
    EXPECT_EQ(alpha->m_strSchedule, "<None>");
    EXPECT_EQ(alpha->m_tAddDate, 0);
    EXPECT_EQ(alpha->m_wStatusChecking, 0);
    EXPECT_EQ(alpha->m_strStatus, "Checking Off");
}

TEST(PowermarksWriter, CreatesMissingFoldersAndReportsFailures) {
    CBrindleDoc doc;
    FillForExport(doc);
    testutil::TempDirectory dir;
    ExchangeReport report;
    ASSERT_TRUE(ExportPowermarks(doc, dir.File("a/b/c/pm.htm"), ExportOptions{}, report));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "a/b/c/pm.htm"));

    testutil::WriteFile(dir.Path() / "plainfile", "x");
    EXPECT_FALSE(ExportPowermarks(doc, dir.File("plainfile/sub/pm.htm"), ExportOptions{}, report));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "Create Directory Fail");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Exclamation);

    // An existing folder in place of the file: it cannot be written.
    std::filesystem::create_directories(dir.Path() / "taken.htm");
    EXPECT_FALSE(ExportPowermarks(doc, dir.File("taken.htm"), ExportOptions{}, report));
    EXPECT_EQ(report.messages.back().text, "cannot write the file");
}

TEST(PowermarksRoundTrip, EveryFieldButTheStatusPlusMacrosAndSchedules) {
    CBrindleDoc source;
    FillForExport(source);
    testutil::TempDirectory dir;
    ExchangeReport report;
    ASSERT_TRUE(ExportPowermarks(source, dir.File("rt.htm"), ExportOptions{}, report));

    CBrindleDoc copy;
    ASSERT_EQ(ImportFile(copy, dir.File("rt.htm")).format, FormatId::Powermarks);
    ASSERT_EQ(copy.Schedules().size(), source.Schedules().size());
    for (size_t i = 0; i < source.Schedules().size(); ++i) {
        EXPECT_EQ(copy.Schedules()[i].m_strName, source.Schedules()[i].m_strName);
        EXPECT_EQ(copy.Schedules()[i].m_tInterval, source.Schedules()[i].m_tInterval);
        EXPECT_EQ(copy.Schedules()[i].m_bDefault, source.Schedules()[i].m_bDefault);
    }
    ASSERT_EQ(copy.Macros().size(), source.Macros().size());
    for (size_t i = 0; i < source.Macros().size(); ++i) {
        const CMacro& a = source.Macros()[i];
        const CMacro& b = copy.Macros()[i];
        EXPECT_EQ(b.m_nKind, a.m_nKind);
        EXPECT_EQ(b.m_strName, a.m_strName);
        EXPECT_EQ(b.m_strURL, a.m_strURL);
        EXPECT_EQ(b.m_strKeywords, a.m_strKeywords);
        EXPECT_EQ(b.m_strSearch, a.m_strSearch);
        EXPECT_EQ(b.m_bMatchCase, a.m_bMatchCase);
        EXPECT_EQ(b.m_dwFields, a.m_dwFields & 0xFFu); // the file keeps the low 8 bits
        EXPECT_EQ(b.m_dwHotKey, a.m_dwHotKey);
    }
    ASSERT_EQ(copy.Bookmarks().size(), source.Bookmarks().size());
    for (const BookmarkRef a : source.Bookmarks()) {
        const testutil::FoundBookmark b = FindByName(copy, a.m_strName);
        ASSERT_NE(b, nullptr) << a.m_strName;
        EXPECT_EQ(b->m_strURL, a.m_strURL);
        EXPECT_EQ(b->m_strKeywords, a.m_strKeywords);
        EXPECT_EQ(b->m_strDescription, a.m_strDescription);
        EXPECT_EQ(b->m_strNotes, a.m_strNotes);
        EXPECT_EQ(b->m_strSchedule, a.m_strSchedule);
        EXPECT_EQ(b->m_wStatusChecking, a.m_wStatusChecking);
        EXPECT_EQ(b->m_tAddDate, a.m_tAddDate);
        EXPECT_EQ(b->m_tLastVisited, a.m_tLastVisited);
        EXPECT_EQ(b->m_tLastModified, a.m_tLastModified);
        EXPECT_EQ(b->m_tLastChecked, a.m_tLastChecked);
    }
}
