// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing XBEL files.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/ExchangeFormats.h"
#include "exchange/Xbel.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;
using testutil::FindByName;

namespace {

const std::string kHead = "<?xml version=\"1.0\"?>\n<!DOCTYPE xbel PUBLIC \"+//IDN python.org//DTD "
                          "XML Bookmark Exchange Language 1.0//EN//XML\" "
                          "\"http://www.python.org/topics/xml/dtds/xbel-1.0.dtd\">\n";

} // namespace

TEST(Xbel, EveryFieldSurvivesExportAndImport) {
    CBrindleDoc doc;
    ASSERT_TRUE(doc.AddBookmark({.name = "Caf\xC3\xA9 & <Bar> \"quoted\"",
                                 .url = "http://example.com/?a=1&b='2'",
                                 .keywords = "food paris",
                                 .description = "line one\r\nline two\ttabbed",
                                 .notes = "first\r\nsecond\n\nthird\r",
                                 .statusChecking = 3,
                                 .schedule = "Weekly",
                                 .status = "Checking Off",
                                 .addDate = 946684800,
                                 .lastVisited = -86401,
                                 .lastModified = 253402300800, // the year 10000
                                 .lastChecked = 1700000000}));
    // Empty keywords must not come back as the folder rule's name keywords.
    ASSERT_TRUE(doc.AddBookmark({.name = "Bare", .url = "", .statusChecking = 0}));
    testutil::TempDirectory dir;
    const std::string path = dir.File("out.xbel");
    ExchangeReport report;
    ExportOptions options;
    options.title = "Mine";
    options.sortField = ""; // collection order
    ASSERT_TRUE(ExportXbel(doc, path, options, report));
    EXPECT_TRUE(report.messages.empty());

    CBrindleDoc back;
    const ImportResult result = ImportXbel(back, path);
    ASSERT_EQ(result.format, FormatId::Xbel);
    ASSERT_EQ(back.Bookmarks().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const BookmarkRef a = doc.Bookmarks()[i];
        const BookmarkRef b = back.Bookmarks()[i];
        EXPECT_TRUE(a.Equals(b)) << a.m_strName;
        for (int field = kFieldAddDate; field <= kFieldLastChecked; ++field)
            EXPECT_EQ(a.GetFieldTime(field), b.GetFieldTime(field)) << a.m_strName << field;
    }
}

TEST(Xbel, OtherProgramsFilesReadWithFolderKeywords) {
    CBrindleDoc doc;
    const ImportResult result = ReadXbelText(doc, kHead + R"(<xbel version="1.0">
  <title>Shared</title>
  <info><metadata owner="http://freedesktop.org"><x:app xmlns:x="urn:x">Text not a title</x:app></metadata></info>
  <folder id="f1" folded="no">
    <title>News &amp; Papers</title>
    <desc>folder text</desc>
    <bookmark id="b1" href="http://paper.example/" added="2020-01-02T03:04:05+01:00">
      <title>Daily</title><desc>A paper</desc>
    </bookmark>
    <separator/>
    <folder folded="yes"><title>Deep</title>
      <bookmark href="http://deep.example/"/>
    </folder>
  </folder>
  <alias ref="b1"/>
  <bookmark href="http://top.example/"><title><![CDATA[Top <1>]]></title></bookmark>
</xbel>)");
    ASSERT_TRUE(result.Read());
    EXPECT_EQ(result.added, 3);
    const testutil::FoundBookmark daily = FindByName(doc, "Daily");
    ASSERT_TRUE(daily);
    EXPECT_EQ(daily->m_strKeywords, "shared news papers daily");
    EXPECT_EQ(daily->m_strDescription, "A paper");
    EXPECT_EQ(daily->m_tAddDate, 1577930645);
    // An untitled bookmark takes its address as its name.
    EXPECT_TRUE(FindByName(doc, "http://deep.example/"));
    EXPECT_TRUE(FindByName(doc, "Top <1>"));
}

TEST(Xbel, HostileOrBrokenFilesAreRefusedWhole) {
    const std::string laughs = R"(<?xml version="1.0"?>
<!DOCTYPE xbel [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;">]>
<xbel version="1.0"><bookmark href="http://x/"><title>&b;</title></bookmark></xbel>)";
    const std::string external = R"(<?xml version="1.0"?>
<!DOCTYPE xbel [<!ENTITY e SYSTEM "file:///etc/passwd">]>
<xbel><bookmark href="http://x/"><title>&e;</title></bookmark></xbel>)";
    const std::string cut = kHead + "<xbel><bookmark href=\"http://x/\"><title>X</title>";
    const std::string other = kHead + "<html><bookmark href=\"http://x/\"/></html>";
    std::string deep = "<xbel>";
    for (int i = 0; i < 5000; ++i)
        deep += "<folder><title>f</title>";
    for (const std::string& text : {laughs, external, cut, other, deep}) {
        CBrindleDoc doc;
        std::string error;
        XbelTree tree;
        EXPECT_FALSE(ParseXbel(text, tree, &error)) << text.substr(0, 80);
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(ReadXbelText(doc, text).Read());
        EXPECT_TRUE(doc.Bookmarks().empty());
    }
}

TEST(Xbel, SharedLayoutKeepsIdsAndTheHighestId) {
    XbelTree tree;
    tree.hasHighestId = true;
    tree.highestId = 41;
    XbelItem& folder = tree.items.emplace_back();
    folder.kind = XbelItem::Kind::Folder;
    folder.id = "7";
    folder.title = "Bar";
    XbelItem& mark = folder.children.emplace_back();
    mark.id = "41";
    mark.title = "A\r\nB";
    mark.href = "http://a.example/?x=\"1\"";
    std::string text;
    WriteXbel(tree, text, {.sharedLayout = true});
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xbel", 0), 0u);
    EXPECT_NE(text.find("<xbel version=\"1.0\">\n<!--- highestId :41: for Floccus bookmark sync "
                        "browser extension -->\n"),
              std::string::npos);
    XbelTree back;
    ASSERT_TRUE(ParseXbel(text, back));
    EXPECT_TRUE(back.hasHighestId);
    EXPECT_EQ(back.highestId, 41u);
    ASSERT_EQ(back.items.size(), 1u);
    ASSERT_EQ(back.items[0].children.size(), 1u);
    EXPECT_EQ(back.items[0].id, "7");
    EXPECT_EQ(back.items[0].children[0].id, "41");
    EXPECT_EQ(back.items[0].children[0].title, mark.title);
    EXPECT_EQ(back.items[0].children[0].href, mark.href);
}

// The compact tree of linked files reads and writes what the full tree does in the shared layout.
TEST(Xbel, CompactTreeWritesWhatTheFullTreeWrites) {
    const std::string text =
        kHead + "<xbel version=\"1.0\">\n<!--- highestId :9: for Floccus -->\n<title>Top</title>"
                "<folder id=\"1\" folded=\"no\"><title>A &amp; <b>b</b>c</title><desc>d</desc>"
                "<bookmark id=\"2\" href=\"http://x.example/?a=1&amp;b=&quot;2&quot;\" "
                "added=\"2024-05-01T10:20:30Z\"><title>X&#10;<![CDATA[<y>]]></title><info>"
                "<metadata owner=\"other\"><title>not this</title></metadata></info>"
                "<title> twice</title></bookmark><separator/><alias ref=\"2\"/>"
                "<folder><title>Inner</title><bookmark href=\"http://n.example/\"/></folder>"
                "</folder><bookmark id=\"3\" href=\"\xC3\xA9\"><title>\xC3\xA9</title>"
                "</bookmark></xbel>";
    XbelTree full;
    XbelCompactTree compact;
    ASSERT_TRUE(ParseXbel(text, full));
    ASSERT_TRUE(ParseXbel(text, compact));
    std::string expected, written;
    WriteXbel(full, expected, {.sharedLayout = true});
    WriteXbel(compact, written);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(compact.nodes[2].added, full.items[0].children[0].added);

    // Changed and written in parts: the same as the full tree changed alike.
    compact.nodes[2].title = compact.Store(compact.Text(compact.nodes[2].href)); // from itself
    compact.nodes[3].removed = true;                                             // the separator
    const std::uint32_t added = compact.Add(0, XbelItem::Kind::Bookmark);
    compact.nodes[added].id = compact.Store("10");
    compact.nodes[added].href = compact.Store("http://new.example/");
    full.items[0].children[0].title = full.items[0].children[0].href;
    full.items[0].children.erase(full.items[0].children.begin() + 1);
    XbelItem& item = full.items.emplace_back();
    item.id = "10";
    item.href = "http://new.example/";
    expected.clear();
    WriteXbel(full, expected, {.sharedLayout = true});
    std::string parts, rest;
    int flushes = 0;
    WriteXbel(compact, rest, [&](std::string& out) {
        parts += out;
        out.clear();
        ++flushes;
    });
    EXPECT_EQ(parts + rest, expected);
    EXPECT_GE(flushes, 1);

    std::string why;
    EXPECT_FALSE(ParseXbel("<xbel><folder></xbel>", compact, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ParseXbel("<!DOCTYPE x [<!ENTITY a \"b\">]><xbel/>", compact));
}

TEST(Xbel, IsoTimes) {
    for (const BrxTime t : {BrxTime{0}, BrxTime{-1}, BrxTime{951782400}, BrxTime{4102444799},
                            BrxTime{-62135596800}, BrxTime{-62167219201}}) {
        BrxTime back = 1;
        EXPECT_TRUE(ParseIsoTime(FormatIsoTime(t), back)) << FormatIsoTime(t);
        EXPECT_EQ(back, t) << FormatIsoTime(t);
    }
    BrxTime t = 0;
    EXPECT_TRUE(ParseIsoTime("2000-02-29T00:00:00.250-01:30", t));
    EXPECT_EQ(t, 951782400 + 5400);
    EXPECT_TRUE(ParseIsoTime("2000-02-29", t));
    EXPECT_EQ(t, 951782400);
    for (const char* bad : {"", "2000", "2000-13-01", "2000-03-01T", "2000-03-01T10", "20000-01-01",
                            "2000-03-01T10:00:00Q", "2000-03-01T10:00:00."})
        EXPECT_FALSE(ParseIsoTime(bad, t)) << bad;
}

TEST(Xbel, IsARowOfTheExchangeTable) {
    const ExchangeFormat* row = FindFormat("xbel");
    ASSERT_NE(row, nullptr);
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "a.xbel", "");
    testutil::WriteFile(dir.Path() / "noext", kHead + "<xbel version=\"1.0\"></xbel>");
    EXPECT_EQ(ImportFormatFor(dir.File("a.xbel")), row);
    EXPECT_EQ(ImportFormatFor(dir.File("noext")), row);
    EXPECT_NE(ImportDialogFilter().find("*.xbel"), std::string::npos);
}
