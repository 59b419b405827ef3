// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing Netscape bookmark files.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/ImportFile.h"
#include "exchange/Netscape.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;
using testutil::FindByName;
using testutil::FindByUrl;

namespace {

const std::string kHeader = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>B</TITLE>\n";

std::string Keywords(const CBrindleDoc& doc, const std::string& name) {
    const testutil::FoundBookmark b = FindByName(doc, name);
    return b ? std::string(b->m_strKeywords) : "<missing " + name + ">";
}

} // namespace

TEST(NetscapeReader, DeclinesTextWithoutTheMarker) {
    CBrindleDoc doc;
    EXPECT_FALSE(ImportNetscape(doc, "<html><a href=\"x\">y</a></html>"));
    EXPECT_TRUE(doc.Bookmarks().empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(ImportNetscape(doc, "<!doctype netscape-bookmark-file-1>"));
    EXPECT_TRUE(ImportNetscape(doc, "\xEF\xBB\xBF<!DocType NETSCAPE-Bookmark-file-1>"));
}

TEST(NetscapeReader, FolderPathAndNameBecomeKeywords) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<H1>Bookmarks for Someone</H1>
<DL><p>
  <DT><H3>News</H3>
  <DL><p>
    <DT><H3>Daily</H3>
    <DL><p>
      <DT><A HREF="http://paper.example/">Paper</A>
    </DL><p>
    <DT><A HREF="http://weekly.example/?a=1&b=2">Weekly</A>
  </DL><p>
  <DT><A HREF="http://top.example/">Top</A>
</DL><p>
</DL><p>
</DL><p>
<DT><A HREF="http://after.example/">After</A>
)"));
    ASSERT_EQ(doc.Bookmarks().size(), 4u);
    EXPECT_EQ(Keywords(doc, "Paper"), "bookmarks for someone news daily paper");
    EXPECT_EQ(Keywords(doc, "Weekly"), "bookmarks for someone news weekly");
    EXPECT_EQ(Keywords(doc, "Top"), "bookmarks for someone top");
    // Unbalanced </DL> tags are ignored once the stack is empty.
    EXPECT_EQ(Keywords(doc, "After"), "after");
    EXPECT_EQ(FindByName(doc, "Weekly")->m_strURL, "http://weekly.example/?a=1&b=2");
}

TEST(NetscapeReader, KeepsCaseDecodesReferencesAndFillsTheOtherFields) {
    CBrindleDoc doc;
    doc.AddSchedule("Weekly", 604800, true);
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL><p>
<DT><H3>Tom &amp; Jerry</H3>
<DL><p>
<DT><A HREF="HTTP://Example.COM/Path?Q=A&amp;B=C" ADD_DATE="1000" LAST_VISIT=" 2000 " LAST_MODIFIED="3000">Caf&#233; &lt;Home&gt; &quot;Page&quot;</A>
</DL>)"));
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    const BookmarkRef b = doc.Bookmarks()[0];
    EXPECT_EQ(b.m_strName, "Caf\xC3\xA9 <Home> \"Page\"");
    EXPECT_EQ(b.m_strURL, "HTTP://Example.COM/Path?Q=A&B=C");
    EXPECT_EQ(b.m_strKeywords, "tom jerry caf\xC3\xA9"); // lower-cased; the rules drop "&"
    EXPECT_EQ(b.m_tAddDate, 1000);
    EXPECT_EQ(b.m_tLastVisited, 2000);
    EXPECT_EQ(b.m_tLastModified, 3000);
    EXPECT_EQ(b.m_tLastChecked, 0);
    EXPECT_EQ(b.m_wStatusChecking, 1);
    EXPECT_EQ(b.m_strSchedule, "Weekly");
    EXPECT_EQ(b.m_strStatus, "Waiting");
    EXPECT_EQ(b.m_strDescription, "");
    EXPECT_EQ(b.m_strNotes, "");
}

TEST(NetscapeReader, ReadsDescriptionsAfterLinksOnly) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL><p>
<DT><H3>Folder</H3>
<DD>About the folder
<DL><p>
<DT><A HREF="http://a/">A</A>
<DD>  First line &amp; <i>more</i>
second line  
<DT><A HREF="http://b/">B</A>
<DT><A HREF="http://c/">C</A>
<DD>Last one, ended by the list
</DL><p>
<DT><A HREF="http://d/">D</A>
</DL><p>)"));
    ASSERT_EQ(doc.Bookmarks().size(), 4u);
    EXPECT_EQ(FindByName(doc, "A")->m_strDescription, "First line & more\nsecond line");
    EXPECT_EQ(FindByName(doc, "B")->m_strDescription, "");
    EXPECT_EQ(FindByName(doc, "C")->m_strDescription, "Last one, ended by the list");
    EXPECT_EQ(FindByName(doc, "D")->m_strDescription, "");
    // Bookmarks are added in file order even though each waits for its description.
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "A");
    EXPECT_EQ(doc.Bookmarks()[3].m_strName, "D");
}

TEST(NetscapeReader, LinkTextInsideInnerTagsIsKept) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL>
<DT><A HREF="http://a/"><B>Bold</B> <span class="x">Name</span></A>
<DT><A HREF="http://b/"><IMG SRC="x.png"></A>
<DT><A HREF="http://c/">Never closed
<DT><A HREF="http://d/">Closed</A>
</DL>)"));
    EXPECT_NE(FindByName(doc, "Bold Name"), nullptr);
    EXPECT_EQ(FindByUrl(doc, "http://b/"), nullptr); // no text: no bookmark
    EXPECT_EQ(FindByUrl(doc, "http://c/"), nullptr); // an anchor never closed adds nothing
    EXPECT_NE(FindByName(doc, "Closed"), nullptr);
    EXPECT_EQ(doc.Bookmarks().size(), 2u);
}

TEST(NetscapeReader, TagsAttributeAddsLowerCasedKeywords) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL>
<DT><A HREF="http://a/" TAGS="Linux,Kernel Dev, news">Story</A>
<DT><A HREF="http://b/" TAGS="">Plain</A>
</DL>)"));
    EXPECT_EQ(Keywords(doc, "Story"), "story linux kernel dev news");
    EXPECT_EQ(Keywords(doc, "Plain"), "plain");
}

TEST(NetscapeDates, ReadsPlainNumbersAndScalesFinerUnits) {
    BrxTime add = 7, visit = 8, modified = 9;
    ParseNetscapeDates("A HREF=\"x\" ADD_DATE=\"1a\" LAST_VISIT=\"\"", add, visit, modified);
    EXPECT_EQ(add, 7);      // a letter: left alone
    EXPECT_EQ(visit, 8);    // empty: left alone
    EXPECT_EQ(modified, 9); // absent: left alone

    ParseNetscapeDates("a add_date='1515515697780642' last_visit=1515515697780 "
                       "last_modified=\"1515515697780642123\"",
                       add, visit, modified);
    EXPECT_EQ(add, 1515515697);
    EXPECT_EQ(visit, 1515515697);
    EXPECT_EQ(modified, 1515515697);

    ParseNetscapeDates("a add_date=\"99999999999999999999999\" last_visit=\"-5\"", add, visit,
                       modified);
    EXPECT_EQ(add, 1515515697); // beyond 64 bits: left alone
    EXPECT_EQ(visit, 1515515697);

    EXPECT_EQ(NormaliseEpoch(0), 0);
    EXPECT_EQ(NormaliseEpoch(99'999'999'999ULL), 99'999'999'999LL); // still seconds
    EXPECT_EQ(NormaliseEpoch(100'000'000'000ULL), 100'000'000LL);
}

TEST(NetscapeReader, MissingDatesDoNotLeakFromThePreviousLink) {
    CBrindleDoc doc;
    const BrxTime before = CBrindleDoc::Now();
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL>
<DT><A HREF="http://a/" ADD_DATE="5" LAST_VISIT="6" LAST_MODIFIED="7">Dated</A>
<DT><A HREF="http://b/">Undated</A>
</DL>)"));
    const testutil::FoundBookmark undated = FindByName(doc, "Undated");
    ASSERT_NE(undated, nullptr);
    EXPECT_GE(undated->m_tAddDate, before); // the import time
    EXPECT_EQ(undated->m_tLastVisited, 0);
    EXPECT_EQ(undated->m_tLastModified, 0);
}

// Each browser's and service's export form, from fixtures written for these tests.
TEST(NetscapeReader, FirefoxExport) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("firefox.html")).format,
              FormatId::Netscape);
    EXPECT_EQ(doc.Bookmarks().size(), 5u); // the link without a name is not added
    const testutil::FoundBookmark rye = FindByName(doc, "Rye Bread \"Classic\"");
    ASSERT_NE(rye, nullptr);
    EXPECT_EQ(rye->m_strURL, "https://example.org/bread?kind=rye&size=large");
    EXPECT_EQ(rye->m_strKeywords, "bookmarks menu recipes food rye bread baking");
    EXPECT_EQ(rye->m_strDescription, "A dense <sour> loaf");
    EXPECT_EQ(rye->m_tAddDate, 1700000200);
    EXPECT_EQ(rye->m_tLastModified, 1700000300);
    EXPECT_NE(FindByUrl(doc, "place:sort=8&maxResults=10"), nullptr);
    const testutil::FoundBookmark wiki = FindByUrl(doc, "https://www.wikipedia.org/");
    ASSERT_NE(wiki, nullptr);
    EXPECT_EQ(wiki->m_strName, "Wikip\xC3\xA9"
                               "dia \xE2\x80\x94 L'encyclop\xC3\xA9"
                               "die");
    EXPECT_EQ(Keywords(doc, "Daily News"), "bookmarks menu other daily news");
    EXPECT_EQ(Keywords(doc, "Getting Started"), "bookmarks menu getting started");
    EXPECT_EQ(FindByName(doc, "Getting Started")->m_strDescription, "");
}

TEST(NetscapeReader, ChromeExport) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("chrome.html")).format,
              FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 3u);
    EXPECT_EQ(Keywords(doc, "GitHub"), "bookmarks bar dev tools github");
    EXPECT_EQ(Keywords(doc, "\xD0\x9B\xD1\x83\xD1\x87\xD1\x88\xD0\xB8\xD0\xB5 "
                            "\xD0\xBF\xD1\x83\xD0\xB1\xD0\xBB\xD0\xB8\xD0\xBA\xD0\xB0\xD1\x86\xD0"
                            "\xB8\xD0\xB8"),
              "bookmarks bar \xD0\xBB\xD1\x83\xD1\x87\xD1\x88\xD0\xB8\xD0\xB5 "
              "\xD0\xBF\xD1\x83\xD0\xB1\xD0\xBB\xD0\xB8\xD0\xBA\xD0\xB0\xD1\x86\xD0\xB8\xD0\xB8");
    EXPECT_EQ(FindByName(doc, "Google Search")->m_strURL,
              "https://www.google.com/search?q=a&hl=en");
}

TEST(NetscapeReader, InternetExplorerExportWithByteOrderMarkAndCrLf) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("edge-bom-crlf.htm")).format,
              FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    const testutil::FoundBookmark comic = FindByName(doc, "Comic One");
    ASSERT_NE(comic, nullptr);
    EXPECT_EQ(comic->m_strKeywords, "bookmarks comics comic one");
    EXPECT_EQ(comic->m_tLastVisited, 1450000200);
    // A line break inside a name arrives as a single line feed.
    EXPECT_NE(FindByName(doc, "Home\nPage"), nullptr);
}

TEST(NetscapeReader, SafariExportWithoutDates) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("safari.html")).format,
              FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(Keywords(doc, "GitHub"), "favorites github");
    EXPECT_EQ(Keywords(doc, "Wikipedia, the free encyclopedia"),
              "favorites reading the free encyclopedia"); // "wikipedia," falls to the comma rule
}

TEST(NetscapeReader, BookmarkServiceExport) {
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("service.html")).format,
              FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 4u);
    const testutil::FoundBookmark one = FindByName(doc, "Article One");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->m_strURL, "https://example.net/one");
    EXPECT_EQ(one->m_tAddDate, 1600000000); // milliseconds
    EXPECT_EQ(one->m_strKeywords, "bookmarks article one reading long read php");
    EXPECT_EQ(one->m_strDescription, "First line of the note\nsecond line & more");
    EXPECT_EQ(FindByName(doc, "Two")->m_strURL, "https://example.net/two");
    EXPECT_EQ(FindByName(doc, "Two")->m_tAddDate, 1600000000); // microseconds
    EXPECT_EQ(FindByName(doc, "Two")->m_strDescription, "From \"attribute\"");
    const testutil::FoundBookmark three = FindByName(doc, "Three bold link");
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->m_strURL, "https://example.net/three");
    EXPECT_EQ(three->m_tAddDate, 1600000000); // nanoseconds
    EXPECT_EQ(FindByName(doc, "Four")->m_strURL, "https://example.net/four");
}

TEST(NetscapeReader, SameNameAndUrlTwiceIsOneBookmark) {
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, kHeader + R"(<DL>
<DT><A HREF="http://a/">Same</A>
<DT><A HREF="http://a/">Same</A>
<DT><A HREF="http://a/">Other name</A>
</DL>)"));
    EXPECT_EQ(doc.Bookmarks().size(), 2u);
}

// --- Writer ----------------------------------------------------------------------------------

namespace {

void AddSample(CBrindleDoc& doc) {
    doc.AddBookmark({.name = "Tom & Jerry </A> \"Show\"",
                     .url = "http://x.example/?a=1&b=<2>",
                     .keywords = "cartoon",
                     .description = "Chase <scenes> & more",
                     .notes = "notes",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting,
                     .addDate = 1000000000,
                     .lastVisited = 1100000000,
                     .lastModified = 1200000000,
                     .lastChecked = 1300000000});
    doc.AddBookmark({.name = "Caf\xC3\xA9",
                     .url = "http://cafe.example/",
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting});
}

} // namespace

TEST(NetscapeWriter, WritesTheHeaderEntriesAndFooterWithCrLf) {
    CBrindleDoc doc;
    AddSample(doc);
    testutil::TempDirectory dir;
    ExportOptions options;
    options.title = "My <Links>";
    ExchangeReport report;
    ASSERT_TRUE(ExportNetscape(doc, dir.File("out.htm"), options, report));
    EXPECT_TRUE(report.messages.empty());
    EXPECT_EQ(testutil::ReadFile(dir.File("out.htm")),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n"
              "<!-- This is an automatically generated file.It will be read and "
              "overwritten.Do Not Edit! -->\r\n"
              "<TITLE>My &lt;Links&gt;</TITLE>\r\n"
              "<H1>Bookmark</H1>\r\n"
              "<DL><P>\r\n"
              "<DT><A HREF=\"http://cafe.example/\" ADD_DATE=\"0\" LAST_VISIT=\"0\" "
              "LAST_MODIFIED=\"0\">Caf\xC3\xA9</A>\r\n"
              "<DT><A HREF=\"http://x.example/?a=1&amp;b=&lt;2&gt;\" ADD_DATE=\"1000000000\" "
              "LAST_VISIT=\"1100000000\" LAST_MODIFIED=\"1200000000\">Tom &amp; Jerry "
              "&lt;/A&gt; &quot;Show&quot;</A>\r\n"
              "<DD>Chase &lt;scenes&gt; &amp; more\r\n"
              "</DL></P>");
}

TEST(NetscapeWriter, EmptySelectionWritesHeaderAndFooterOnly) {
    CBrindleDoc doc;
    testutil::TempDirectory dir;
    ExchangeReport report;
    ASSERT_TRUE(ExportNetscape(doc, dir.File("empty.htm"), ExportOptions{}, report));
    const std::string text = testutil::ReadFile(dir.File("empty.htm"));
    EXPECT_EQ(text.substr(text.size() - 18), "<DL><P>\r\n</DL></P>");
}

TEST(NetscapeWriter, ReportsAFileThatCannotBeWritten) {
    CBrindleDoc doc;
    AddSample(doc);
    testutil::TempDirectory dir;
    ExchangeReport report;
    EXPECT_FALSE(ExportNetscape(doc, dir.File("missing-folder/out.htm"), ExportOptions{}, report));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "cannot write the file");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Stop);
}

TEST(NetscapeRoundTrip, GivesBackNamesUrlsDatesAndDescriptions) {
    CBrindleDoc source;
    AddSample(source);
    source.AddBookmark({.name = "Line\nbreak",
                        .url = "http://lb.example/",
                        .statusChecking = 1,
                        .schedule = kNoSchedule,
                        .status = kStatusWaiting,
                        .addDate = 1700000000,
                        .lastVisited = 1700000001,
                        .lastModified = 1700000002});
    testutil::TempDirectory dir;
    ExchangeReport report;
    ASSERT_TRUE(ExportNetscape(source, dir.File("rt.htm"), ExportOptions{}, report));

    CBrindleDoc copy;
    ASSERT_EQ(ImportFile(copy, dir.File("rt.htm")).format, FormatId::Netscape);
    ASSERT_EQ(copy.Bookmarks().size(), source.Bookmarks().size());
    for (const BookmarkRef original : source.Bookmarks()) {
        const testutil::FoundBookmark b = FindByName(copy, original.m_strName);
        ASSERT_NE(b, nullptr) << original.m_strName;
        EXPECT_EQ(b->m_strURL, original.m_strURL);
        EXPECT_EQ(b->m_tAddDate, original.m_tAddDate);
        EXPECT_EQ(b->m_tLastVisited, original.m_tLastVisited);
        EXPECT_EQ(b->m_tLastModified, original.m_tLastModified);
        EXPECT_EQ(b->m_strDescription, original.m_strDescription);
    }
}
