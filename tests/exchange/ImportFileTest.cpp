// SPDX-License-Identifier: GPL-3.0-or-later
// Content detection, the reader of ordinary pages, outside encodings and the Import command's
// choice of reader.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/Favorites.h"
#include "exchange/ImportFile.h"
#include "exchange/TextCodec.h"
#include "store/ArchiveText.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace brindle;
using testutil::FindByName;
using testutil::FindByUrl;

TEST(ImportFile, DetectsNetscapeThenPowermarksThenPlainPages) {
    CBrindleDoc doc;
    // Both markers: the Netscape reader claims it.
    EXPECT_EQ(ImportHtmlText(doc, "<!--Powermarks Format 3.0--><!DOCTYPE NETSCAPE-Bookmark-file-1>"
                                  "<DL><DT><A HREF=\"http://n/\">N</A></DL>")
                  .format,
              FormatId::Netscape);
    EXPECT_EQ(
        ImportHtmlText(doc, "<!--powermarks format 3.0--><DT><A HREF=\"http://p/\">P</A>").format,
        FormatId::Powermarks);
    EXPECT_EQ(ImportHtmlText(doc, "<p><a href=\"http://a/\">A</a>").format, FormatId::Html);
    EXPECT_EQ(doc.Bookmarks().size(), 3u);
    EXPECT_EQ(FindByName(doc, "P")->m_strStatus, "Waiting");

    const ImportResult missing = ImportFile(doc, "/nonexistent/file.htm");
    EXPECT_EQ(missing.format, FormatId::None);
    ASSERT_EQ(missing.problems.messages.size(), 1u);
    EXPECT_EQ(missing.problems.messages[0].text, "cannot open the file");
}

TEST(ImportAnchors, ReadsEveryLinkOfAnOrdinaryPage) {
    CBrindleDoc doc;
    doc.AddSchedule("Default", 100, true);
    const BrxTime before = CBrindleDoc::Now();
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("page.html")).format, FormatId::Html);
    const testutil::FoundBookmark home = FindByName(doc, "Home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->m_strURL, "https://example.com/home");
    EXPECT_EQ(home->m_strKeywords, "home");
    EXPECT_EQ(home->m_strSchedule, "Default");
    EXPECT_EQ(home->m_strStatus, "Waiting");
    EXPECT_GE(home->m_tAddDate, before);
    const testutil::FoundBookmark docs = FindByName(doc, "Docs & Guides");
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(docs->m_strURL, "https://example.com/Docs?x=1&y=2");
    EXPECT_EQ(docs->m_strKeywords, "docs guides");
    EXPECT_EQ(FindByName(doc, "Blog")->m_strURL, "https://example.com/blog");
    EXPECT_EQ(FindByName(doc, "Bold Link")->m_strURL, "https://example.com/bold");
    EXPECT_EQ(FindByName(doc, "Left open")->m_strURL, "https://example.com/open");
    EXPECT_EQ(FindByName(doc, "Multi\nline")->m_strURL, "https://example.com/multi");
    EXPECT_EQ(FindByUrl(doc, "https://example.com/empty"), nullptr);
    EXPECT_EQ(FindByName(doc, "Not a link"), nullptr);
    EXPECT_EQ(doc.Bookmarks().size(), 6u);
}

TEST(ImportAnchors, ALinkStillOpenAtTheEndIsNotAdded) {
    CBrindleDoc doc;
    ImportAnchors(doc, "<a href=\"http://x/\">dangling text");
    EXPECT_TRUE(doc.Bookmarks().empty());
}

TEST(ImportAnchors, CutsNamesAndUrlsAt65535Bytes) {
    CBrindleDoc doc;
    const std::string longUrl = "http://x/" + std::string(70000, 'u');
    std::string longName;
    for (int i = 0; i < 40000; ++i)
        longName += "\xC3\xA9"; // 80,000 bytes of two-byte characters
    ImportAnchors(doc, "<a href=\"" + longUrl + "\">" + longName + "</a>");
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    const BookmarkRef b = doc.Bookmarks()[0];
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
    // The same text as the document file's byte-form strings, the five unassigned bytes included.
    for (const std::string bytes : {"\x81\x8D\x8F\x90\x9D", "caf\xE9 \x9F\x80"})
        EXPECT_EQ(DecodeOutsideText(bytes), ByteFormToUtf8(bytes));
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

    // AppendLower gives what ToLower gives, ASCII before and after other characters included.
    for (const char* text :
         {"", "Plain ASCII", "Caf\xC3\x89 AB \xCE\xA3X", "\xC3(BAD\xFF Z", "\xE2\x84\xAA Kelvin"}) {
        std::string out = "x ";
        AppendLower(out, text);
        EXPECT_EQ(out, "x " + ToLower(text)) << text;
    }
    for (const auto& [in, trimmed] : std::vector<std::pair<std::string, std::string>>{
             {"  a b \t\n", "a b"}, {"ab", "ab"}, {" \r\n ", ""}, {"", ""}, {"\va", "a"}}) {
        s = in;
        TrimInPlace(s);
        EXPECT_EQ(s, trimmed);
    }
}

namespace {

// The import function of the exchange format that reads `path`; null when none does.
ImportFunction ReaderOf(const std::string& path) {
    const ExchangeFormat* format = ImportFormatFor(path);
    return format ? format->import : nullptr;
}

} // namespace

TEST(ImportInput, TheExtensionDecidesTheReader) {
    testutil::TempDirectory dir;
    EXPECT_EQ(ReaderOf(dir.File("a.htm")), &ImportFile);
    EXPECT_EQ(ReaderOf(dir.File("a.b.html")), &ImportFile);
    EXPECT_EQ(ReaderOf(dir.File("x.url")), &ImportFavorites);
    EXPECT_EQ(ReaderOf(dir.Path().string()), &ImportFavorites);
    // Compared byte for byte: capitals are another extension.
    EXPECT_EQ(ReaderOf(dir.File("Bookmark.HTM")), nullptr);
    EXPECT_EQ(ReaderOf(dir.File("notes.txt")), nullptr);
    EXPECT_EQ(ReaderOf(dir.File("noext")), nullptr);
    EXPECT_EQ(ReaderOf("dotted.dir/file"), nullptr);
}

namespace {

// A Netscape file of a few megabytes with CR LF line ends, references, two-byte characters and
// descriptions, so that the windows of a file import end anywhere in it.
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

void ExpectSameBookmarks(const CBrindleDoc& actual, const CBrindleDoc& expected,
                         const std::string& label) {
    ASSERT_EQ(actual.Bookmarks().size(), expected.Bookmarks().size()) << label;
    for (size_t i = 0; i < expected.Bookmarks().size(); ++i) {
        const BookmarkRef a = actual.Bookmarks()[i];
        const BookmarkRef b = expected.Bookmarks()[i];
        ASSERT_EQ(a.m_strName, b.m_strName) << label << " " << i;
        ASSERT_EQ(a.m_strURL, b.m_strURL) << label << " " << i;
        ASSERT_EQ(a.m_strKeywords, b.m_strKeywords) << label << " " << i;
        ASSERT_EQ(a.m_strDescription, b.m_strDescription) << label << " " << i;
        ASSERT_EQ(a.m_strNotes, b.m_strNotes) << label << " " << i;
        ASSERT_EQ(a.m_tAddDate, b.m_tAddDate) << label << " " << i;
    }
}

// The file imported whole, as text with its line ends normalised.
void ImportWhole(CBrindleDoc& doc, const std::string& bytes) {
    std::string text = bytes;
    NormalizeLineEnds(text);
    ImportHtmlText(doc, text);
}

} // namespace

TEST(ImportFile, ReadingInWindowsGivesWhatReadingWholeGives) {
    testutil::TempDirectory dir;
    for (size_t shift : {0u, 1u, 2u, 77u}) {
        const std::string bytes = LargeNetscapeFile(shift);
        ASSERT_GT(bytes.size(), 2u << 20); // crosses two boundaries of 1 MB windows
        testutil::WriteFile(dir.Path() / "large.htm", bytes);
        CBrindleDoc whole;
        ImportWhole(whole, bytes);
        ASSERT_EQ(whole.Bookmarks().size(), 20000u);
        for (size_t window : {size_t{1} << 20, size_t{4099}, kImportWindowBytes}) {
            CBrindleDoc pieces;
            const ImportResult result =
                ImportFile(pieces, dir.File("large.htm"), {.windowBytes = window});
            ASSERT_EQ(result.format, FormatId::Netscape);
            EXPECT_TRUE(result.problems.messages.empty());
            ExpectSameBookmarks(pieces, whole,
                                "shift " + std::to_string(shift) + " window " +
                                    std::to_string(window));
        }
        const BookmarkRef last = whole.Bookmarks().back();
        EXPECT_EQ(last.m_strName, "Caf\xC3\xA9 \xE2\x82\xAC 19999 <x>");
        EXPECT_EQ(last.m_strDescription, "Line one \xC3\xA9\nline two 19999");
    }
}

TEST(ImportFile, WindowBoundariesInsideMarkersCharactersAndLineEnds) {
    testutil::TempDirectory dir;
    const size_t piece = 1u << 20;
    const ImportOptions windows{.windowBytes = piece};
    // The marker, a two-byte character and a CR LF pair, each cut by a boundary.
    const std::string link = "<DL><DT><A HREF=\"http://x/\">Caf\xC3\xA9</A><DD>a\r\nb</DL>";
    {
        std::string bytes(piece - 5, ' ');
        bytes += "<!DOCTYPE NETSCAPE-Bookmark-file-1>" + link;
        testutil::WriteFile(dir.Path() / "marker.htm", bytes);
        CBrindleDoc doc;
        EXPECT_EQ(ImportFile(doc, dir.File("marker.htm"), windows).format, FormatId::Netscape);
    }
    {
        std::string bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://x/\">";
        bytes.append(piece - 1 - bytes.size(), 'n');
        bytes += "\xC3\xA9</A><DD>a";
        const size_t cr = bytes.size();
        bytes.append(2 * piece - 1 - cr, 'd');
        bytes += "\r\nb</DL>";
        testutil::WriteFile(dir.Path() / "cut.htm", bytes);
        CBrindleDoc doc;
        ASSERT_EQ(ImportFile(doc, dir.File("cut.htm"), windows).format, FormatId::Netscape);
        ASSERT_EQ(doc.Bookmarks().size(), 1u);
        const BookmarkRef b = doc.Bookmarks()[0];
        // Still read as UTF-8, not as a single-byte code page.
        EXPECT_EQ(b.m_strName.substr(b.m_strName.size() - 3), "n\xC3\xA9");
        EXPECT_EQ(b.m_strDescription.substr(b.m_strDescription.size() - 3), "d\nb");
    }
}

TEST(ImportFile, WindowsWithoutTagsKeepLineEndPairsAndCharactersWhole) {
    // Long texts without any '>' make the windows end inside them: every CR LF pair, lone CR
    // and multi-byte character must come out as reading the whole file gives it, whatever the
    // window size.
    std::string text = "\xEF\xBB\xBF<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL>";
    std::mt19937 rng(5);
    const char* pieces[] = {"\r\n",  "\r", "\n", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                            "&amp;", "a",  "B",  " "};
    for (int link = 0; link < 6; ++link) {
        text += "<DT><A HREF=\"http://x/" + std::to_string(link) + "\" ADD_DATE=\"" +
                std::to_string(1600000000 + link) + "\">";
        for (int i = 0; i < 700; ++i)
            text += pieces[rng() % std::size(pieces)];
        text += "</A>\r\n<DD>";
        for (int i = 0; i < 700; ++i)
            text += pieces[rng() % std::size(pieces)];
    }
    text += "</DL>\r";
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "long.htm", text);
    CBrindleDoc whole;
    ImportWhole(whole, text);
    ASSERT_EQ(whole.Bookmarks().size(), 6u);
    for (size_t window = 54; window < 400; window += 7) {
        CBrindleDoc doc;
        ASSERT_EQ(ImportFile(doc, dir.File("long.htm"), {.windowBytes = window}).format,
                  FormatId::Netscape);
        ExpectSameBookmarks(doc, whole, "window " + std::to_string(window));
    }
    // Not UTF-8 any more: one byte at the end makes the whole file a Windows-1252 one.
    testutil::WriteFile(dir.Path() / "long.htm", text + "\xE9");
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, dir.File("long.htm"), {.windowBytes = 64}).format,
              FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 6u);
    EXPECT_NE(doc.Bookmarks()[0].m_strName, whole.Bookmarks()[0].m_strName);
    EXPECT_NE(doc.Bookmarks()[0].m_strName.find("\xC3\x83\xC2\xA9"), std::string::npos)
        << "the two bytes of an e-acute read as two Windows-1252 characters";
}

TEST(ImportFile, ASinkTakesTheBookmarksInsteadOfTheDocument) {
    CBrindleDoc doc;
    std::vector<std::string> names;
    std::vector<std::string> urls;
    const ImportOptions options{.sink = [&](const BookmarkFields& f) {
        names.emplace_back(f.name);
        urls.emplace_back(f.url);
        return true;
    }};
    ASSERT_EQ(ImportFile(doc, testutil::ExchangeDataFile("powermarks.htm"), options).format,
              FormatId::Powermarks);
    EXPECT_TRUE(doc.Bookmarks().empty());
    // Macros and schedules still go to the document.
    EXPECT_EQ(doc.Macros().size(), 3u);
    EXPECT_EQ(doc.Schedules().size(), 2u);

    CBrindleDoc added;
    ASSERT_EQ(ImportFile(added, testutil::ExchangeDataFile("powermarks.htm")).format,
              FormatId::Powermarks);
    // The sink sees every entry read, before the document's rules drop any.
    ASSERT_GE(names.size(), added.Bookmarks().size());
    for (const BookmarkRef b : added.Bookmarks()) {
        bool seen = false;
        for (size_t i = 0; i < names.size(); ++i)
            seen = seen || (TrimView(names[i]) == b.m_strName && urls[i] == b.m_strURL);
        EXPECT_TRUE(seen) << b.m_strName;
    }
}

TEST(ChunkReaders, PiecesOfAnySizeGiveWhatTheWholeTextGives) {
    // Names, descriptions and tags that pieces cut anywhere: the readers keep no view into a
    // piece that has ended.
    using Make = std::unique_ptr<ChunkReader> (*)(CBrindleDoc&, BookmarkSink);
    const std::pair<const char*, Make> files[] = {
        {"firefox.html", MakeNetscapeReader},     {"chrome.html", MakeNetscapeReader},
        {"safari.html", MakeNetscapeReader},      {"service.html", MakeNetscapeReader},
        {"powermarks.htm", MakePowermarksReader}, {"page.html", MakeAnchorReader}};
    for (const auto& [file, make] : files) {
        std::string text = testutil::ReadFile(testutil::ExchangeDataFile(file));
        NormalizeLineEnds(text);
        CBrindleDoc whole;
        {
            const auto reader = make(whole, {});
            reader->FeedLast(text);
        }
        ASSERT_FALSE(whole.Bookmarks().empty()) << file;
        for (size_t step = 1; step <= 17; ++step) {
            CBrindleDoc pieces;
            const auto reader = make(pieces, {});
            std::string piece; // overwritten after each Feed, as a file's windows are
            // Odd steps hand the last piece to FeedLast, even ones end with Finish alone.
            const bool last = step % 2 == 1;
            for (size_t at = 0; at < text.size(); at += step) {
                piece.assign(text, at, step);
                if (last && at + step >= text.size()) {
                    reader->FeedLast(piece);
                    break;
                }
                reader->Feed(piece);
                piece.assign(piece.size(), '#');
            }
            if (!last)
                reader->Finish();
            ExpectSameBookmarks(pieces, whole, std::string(file) + " step " + std::to_string(step));
        }
    }
}
