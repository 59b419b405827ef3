// Content detection, the reader of ordinary pages, outside encodings and the Import command's
// choice of reader.

#include "ExchangeTestUtil.h"

#include "exchange/ImportFile.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

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
    const brindle::test::FoundBookmark home = FindByName(doc, "Home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->m_strURL, "https://example.com/home");
    EXPECT_EQ(home->m_strKeywords, "home");
    EXPECT_EQ(home->m_strSchedule, "Default");
    EXPECT_EQ(home->m_strStatus, "Waiting");
    EXPECT_GE(home->m_tAddDate, before);
    const brindle::test::FoundBookmark docs = FindByName(doc, "Docs & Guides");
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
    const BookmarkRef b = doc.m_arrBookmarks[0];
    EXPECT_EQ(b.m_strURL, longUrl.substr(0, 65535));
    EXPECT_EQ(b.m_strName.size(), 65534u); // the last whole character
    EXPECT_TRUE(IsWellFormedUtf8(b.m_strName));
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
    EXPECT_TRUE(IsWellFormedUtf8("plain ascii text longer than eight bytes"));
    EXPECT_TRUE(IsWellFormedUtf8("\xE4\xB9\xA6\xE7\xAD\xBE\xE6\xA0\x8F \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsWellFormedUtf8("ascii then \xC3"));           // cut short
    EXPECT_FALSE(IsWellFormedUtf8("\xC0\xAF"));                  // overlong
    EXPECT_FALSE(IsWellFormedUtf8("\xED\xA0\x80"));              // surrogate
    EXPECT_FALSE(IsWellFormedUtf8("long ascii prefix \xFF ok")); // never valid
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

namespace {

// A Netscape file of a few megabytes with CR LF line ends, references, two-byte characters and
// descriptions, so that the one-megabyte pieces of a file import end anywhere in it.
std::string LargeNetscapeFile(size_t shift) {
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n";
    text.append(shift, ' ');
    text += "<H1>Caf\xC3\xA9s</H1>\r\n<DL><p>\r\n";
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        if (i % 500 == 0)
            text += "<DT><H3>Folder &amp; " + n + "</H3>\r\n<DL><p>\r\n";
        text += "<DT><A HREF=\"http://example.com/" + n + "?a=1&amp;b=2\" ADD_DATE=\"" + n +
                "\" TAGS=\"t" + n + ",caf\xC3\xA9\">Caf\xC3\xA9 \xE2\x82\xAC " + n +
                " &lt;x&gt;</A>\r\n<DD>Line one \xC3\xA9\r\nline two " + n + "\r\n";
        if (i % 500 == 499)
            text += "</DL><p>\r\n";
    }
    return text + "</DL><p>\r\n";
}

} // namespace

TEST(ImportFile, ReadingInPiecesGivesWhatReadingWholeGives) {
    test::TempDir dir;
    for (size_t shift : {0u, 1u, 2u, 77u}) {
        const std::string bytes = LargeNetscapeFile(shift);
        ASSERT_GT(bytes.size(), 2u << 20); // crosses two boundaries
        test::WriteFile(dir.path() / "large.htm", bytes);
        CBrindleDoc pieces;
        ExchangeReport report;
        ASSERT_EQ(ImportFile(pieces, dir / "large.htm", report), ImportFormat::Netscape);
        std::string text = bytes;
        NormalizeLineEnds(text);
        CBrindleDoc whole;
        ASSERT_EQ(ImportHtmlText(whole, text), ImportFormat::Netscape);
        ASSERT_EQ(pieces.m_arrBookmarks.size(), 20000u) << shift;
        ASSERT_EQ(whole.m_arrBookmarks.size(), 20000u);
        for (size_t i = 0; i < whole.m_arrBookmarks.size(); ++i) {
            const BookmarkRef a = pieces.m_arrBookmarks[i];
            const BookmarkRef b = whole.m_arrBookmarks[i];
            ASSERT_EQ(a.m_strName, b.m_strName) << shift << " " << i;
            ASSERT_EQ(a.m_strURL, b.m_strURL) << shift << " " << i;
            ASSERT_EQ(a.m_strKeywords, b.m_strKeywords) << shift << " " << i;
            ASSERT_EQ(a.m_strDescription, b.m_strDescription) << shift << " " << i;
            ASSERT_EQ(a.m_tAddDate, b.m_tAddDate) << shift << " " << i;
        }
        const BookmarkRef last = pieces.m_arrBookmarks.back();
        EXPECT_EQ(last.m_strName, "Caf\xC3\xA9 \xE2\x82\xAC 19999 <x>");
        EXPECT_EQ(last.m_strDescription, "Line one \xC3\xA9\nline two 19999");
    }
}

TEST(ImportFile, PieceBoundariesInsideMarkersCharactersAndLineEnds) {
    test::TempDir dir;
    const size_t piece = 1u << 20;
    // The marker, a two-byte character and a CR LF pair, each cut by a boundary.
    const std::string link = "<DL><DT><A HREF=\"http://x/\">Caf\xC3\xA9</A><DD>a\r\nb</DL>";
    {
        std::string bytes(piece - 5, ' ');
        bytes += "<!DOCTYPE NETSCAPE-Bookmark-file-1>" + link;
        test::WriteFile(dir.path() / "marker.htm", bytes);
        CBrindleDoc doc;
        ExchangeReport report;
        EXPECT_EQ(ImportFile(doc, dir / "marker.htm", report), ImportFormat::Netscape);
    }
    {
        std::string bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://x/\">";
        bytes.append(piece - 1 - bytes.size(), 'n');
        bytes += "\xC3\xA9</A><DD>a";
        const size_t cr = bytes.size();
        bytes.append(2 * piece - 1 - cr, 'd');
        bytes += "\r\nb</DL>";
        test::WriteFile(dir.path() / "cut.htm", bytes);
        CBrindleDoc doc;
        ExchangeReport report;
        ASSERT_EQ(ImportFile(doc, dir / "cut.htm", report), ImportFormat::Netscape);
        ASSERT_EQ(doc.m_arrBookmarks.size(), 1u);
        const BookmarkRef b = doc.m_arrBookmarks[0];
        // Still read as UTF-8, not as a single-byte code page.
        EXPECT_EQ(b.m_strName.substr(b.m_strName.size() - 3), "n\xC3\xA9");
        EXPECT_EQ(b.m_strDescription.substr(b.m_strDescription.size() - 3), "d\nb");
    }
}
