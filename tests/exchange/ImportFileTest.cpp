// Content detection, the reader of ordinary pages, outside encodings and the Import command's
// choice of reader.

#include "ExchangeTestUtil.h"

#include "exchange/ImportFile.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;
using brindle::test::FindByName;
using brindle::test::FindByUrl;

TEST(ImportFile, DetectsNetscapeThenPowermarksThenPlainPages) {
    CBrindleDoc doc;
    // Both markers: the Netscape reader claims it.
    EXPECT_EQ(ImportHtmlText(doc, "<!--Powermarks Format 3.0--><!DOCTYPE NETSCAPE-Bookmark-file-1>"
                                  "<DL><DT><A HREF=\"http://n/\">N</A></DL>"),
              ImportFormat::Netscape);
    EXPECT_EQ(ImportHtmlText(doc, "<!--powermarks format 3.0--><DT><A HREF=\"http://p/\">P</A>"),
              ImportFormat::Powermarks);
    EXPECT_EQ(ImportHtmlText(doc, "<p><a href=\"http://a/\">A</a>"), ImportFormat::Anchors);
    EXPECT_EQ(doc.m_arrBookmarks.size(), 3u);
    EXPECT_EQ(FindByName(doc, "P")->m_strStatus, "Waiting");

    ExchangeReport report;
    EXPECT_EQ(ImportFile(doc, "/nonexistent/file.htm", report), ImportFormat::None);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "cannot open the file");
}

TEST(ImportAnchors, ReadsEveryLinkOfAnOrdinaryPage) {
    CBrindleDoc doc;
    doc.AddSchedule("Default", 100, true);
    ExchangeReport report;
    const BrxTime before = CBrindleDoc::Now();
    ASSERT_EQ(ImportFile(doc, test::DataFile("page.html"), report), ImportFormat::Anchors);
    const CBookmark* home = FindByName(doc, "Home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->m_strURL, "https://example.com/home");
    EXPECT_EQ(home->m_strKeywords, "home");
    EXPECT_EQ(home->m_strSchedule, "Default");
    EXPECT_EQ(home->m_strStatus, "Waiting");
    EXPECT_GE(home->m_tAddDate, before);
    const CBookmark* docs = FindByName(doc, "Docs & Guides");
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(docs->m_strURL, "https://example.com/Docs?x=1&y=2");
    EXPECT_EQ(docs->m_strKeywords, "docs guides");
    EXPECT_EQ(FindByName(doc, "Blog")->m_strURL, "https://example.com/blog");
    EXPECT_EQ(FindByName(doc, "Bold Link")->m_strURL, "https://example.com/bold");
    EXPECT_EQ(FindByName(doc, "Left open")->m_strURL, "https://example.com/open");
    EXPECT_EQ(FindByName(doc, "Multi\nline")->m_strURL, "https://example.com/multi");
    EXPECT_EQ(FindByUrl(doc, "https://example.com/empty"), nullptr);
    EXPECT_EQ(FindByName(doc, "Not a link"), nullptr);
    EXPECT_EQ(doc.m_arrBookmarks.size(), 6u);
}

TEST(ImportAnchors, ALinkStillOpenAtTheEndIsNotAdded) {
    CBrindleDoc doc;
    ImportAnchors(doc, "<a href=\"http://x/\">dangling text");
    EXPECT_TRUE(doc.m_arrBookmarks.empty());
}

TEST(ImportAnchors, CutsNamesAndUrlsAt65535Bytes) {
    CBrindleDoc doc;
    const std::string longUrl = "http://x/" + std::string(70000, 'u');
    std::string longName;
    for (int i = 0; i < 40000; ++i)
        longName += "\xC3\xA9"; // 80,000 bytes of two-byte characters
    ImportAnchors(doc, "<a href=\"" + longUrl + "\">" + longName + "</a>");
    ASSERT_EQ(doc.m_arrBookmarks.size(), 1u);
    const CBookmark& b = *doc.m_arrBookmarks[0];
    EXPECT_EQ(b.m_strURL, longUrl.substr(0, 65535));
    EXPECT_EQ(b.m_strName.size(), 65534u); // the last whole character
    EXPECT_TRUE(IsValidUtf8(b.m_strName));
}

TEST(OutsideText, EncodingsBecomeUtf8) {
    // Valid UTF-8 stays; a byte-order mark goes.
    EXPECT_EQ(DecodeOutsideText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(DecodeOutsideText("\xEF\xBB\xBFx"), "x");
    // Windows-1252 when nothing is declared.
    EXPECT_EQ(DecodeOutsideText("caf\xE9 \x93q\x94 \x80"),
              "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC");
    // A declared charset wins; old Mac exports name theirs oddly.
    EXPECT_EQ(DecodeOutsideText("<meta charset=\"x-mac-roman\">\x8E"),
              "<meta charset=\"x-mac-roman\">\xC3\xA9");
    EXPECT_EQ(DecodeOutsideText("<META CONTENT=\"text/html; charset=X-MAC-SYSTEM\">\x8E"),
              "<META CONTENT=\"text/html; charset=X-MAC-SYSTEM\">\xC3\xA9");
    // UTF-16 with its byte-order mark.
    EXPECT_EQ(DecodeOutsideText(std::string("\xFF\xFE"
                                            "a\0\xE9\0",
                                            6)),
              "a\xC3\xA9");
    EXPECT_EQ(DecodeOutsideText(std::string("\xFE\xFF\0a\0\xE9", 6)), "a\xC3\xA9");

    std::string text = "a\r\nb\rc\r\n\r\n";
    NormalizeLineEnds(text);
    EXPECT_EQ(text, "a\nb\rc\n\n");
}

TEST(OutsideText, Utf8Helpers) {
    EXPECT_TRUE(IsValidUtf8("plain ascii text longer than eight bytes"));
    EXPECT_TRUE(IsValidUtf8("\xE4\xB9\xA6\xE7\xAD\xBE\xE6\xA0\x8F \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("ascii then \xC3"));           // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                  // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));              // surrogate
    EXPECT_FALSE(IsValidUtf8("long ascii prefix \xFF ok")); // never valid
    std::string s = "ab\xE2\x82\xAC";
    TruncateUtf8(s, 4);
    EXPECT_EQ(s, "ab");
    s = "ab\xE2\x82\xAC";
    TruncateUtf8(s, 5);
    EXPECT_EQ(s, "ab\xE2\x82\xAC");
}

TEST(ImportInput, TheExtensionDecidesTheReader) {
    test::TempDir dir;
    EXPECT_EQ(ClassifyImportInput(dir / "a.htm"), ImportInputKind::Html);
    EXPECT_EQ(ClassifyImportInput(dir / "a.b.html"), ImportInputKind::Html);
    EXPECT_EQ(ClassifyImportInput(dir / "x.url"), ImportInputKind::UrlFile);
    EXPECT_EQ(ClassifyImportInput(dir.path().string()), ImportInputKind::Folder);
    // Compared byte for byte: capitals are another extension.
    EXPECT_EQ(ClassifyImportInput(dir / "Bookmark.HTM"), ImportInputKind::Unsupported);
    EXPECT_EQ(ClassifyImportInput(dir / "notes.txt"), ImportInputKind::Unsupported);
    EXPECT_EQ(ClassifyImportInput(dir / "noext"), ImportInputKind::Unsupported);
    EXPECT_EQ(ClassifyImportInput("dotted.dir/file"), ImportInputKind::Unsupported);
}
