// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile and huge inputs: every reader must finish, without crashing, on any bytes.

#include "support/TestFiles.h"

#include "exchange/Favorites.h"
#include "exchange/ImportFile.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <gtest/gtest.h>

#include <random>

using namespace brindle;

namespace {

const std::string kNetscape = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n";
const std::string kPowermarks = "<!--Powermarks Format 3.0-->\n";

// Runs the text through every reader into fresh documents.
void FeedEveryReader(const std::string& text) {
    CBrindleDoc a, b, c, d;
    ImportNetscape(a, kNetscape + text);
    ImportPowermarks(b, kPowermarks + text);
    ImportAnchors(c, text);
    ReadUrlFileText(d, "stress.url", "[InternetShortcut]\n" + text, 1);
}

bool AllValidUtf8(const CBrindleDoc& doc) {
    for (const BookmarkRef bm : doc.Bookmarks())
        if (!IsWellFormedUtf8(bm.m_strName) || !IsWellFormedUtf8(bm.m_strURL) ||
            !IsWellFormedUtf8(bm.m_strKeywords))
            return false;
    return true;
}

} // namespace

TEST(Stress, BinaryGarbageAndNulBytes) {
    std::mt19937 rng(42);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    FeedEveryReader(garbage);
    // Garbage salted with the bytes the readers act on.
    const char* pieces[] = {"<",    ">",  "<a href=\"", "</a>", "<dl>", "</dl>",
                            "<h3>", "[",  "]",          "<!--", "-->",  "&#",
                            ";",    "\"", "'",          "=",    "\n",   "\0"};
    std::string salted;
    for (int i = 0; i < 200000; ++i)
        salted += (rng() % 3 == 0) ? std::string(1, static_cast<char>(rng()))
                                   : std::string(pieces[rng() % std::size(pieces)]);
    FeedEveryReader(salted);

    CBrindleDoc doc;
    static const char kWithNul[] = "<DL><DT><A HREF=\"a\0b\">n\0m</A>";
    ASSERT_TRUE(ImportNetscape(doc, kNetscape + std::string(kWithNul, sizeof kWithNul - 1)));
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, std::string("n\0m", 3));
}

TEST(Stress, InvalidUtf8FilesArriveAsValidText) {
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "bad.htm",
                        kNetscape + "<DL><DT><A HREF=\"http://x/\xFF\">caf\xE9 \xC3(\x80</A></DL>");
    CBrindleDoc doc;
    ASSERT_EQ(ImportFile(doc, dir.File("bad.htm")).format, FormatId::Netscape);
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    EXPECT_TRUE(AllValidUtf8(doc));
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "caf\xC3\xA9 \xC3\x83(\xE2\x82\xAC");
}

TEST(Stress, TenThousandNestedFolders) {
    std::string text = kNetscape + "<H1>Root</H1>\n<DL><p>\n";
    for (int i = 0; i < 10000; ++i)
        text += "<DT><H3>Folder" + std::to_string(i) +
                " level</H3>\n<DL><p>\n<DT><A HREF=\"http://x/" + std::to_string(i) + "\">Link " +
                std::to_string(i) + "</A>\n";
    for (int i = 0; i < 10000; ++i)
        text += "</DL><p>\n";
    text += "<DT><A HREF=\"http://x/end\">End</A>\n</DL><p>\n";
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, text));
    ASSERT_EQ(doc.Bookmarks().size(), 10001u);
    // Shallow links get their whole folder path; deep ones a bounded share of it.
    EXPECT_EQ(doc.Bookmarks()[1].m_strKeywords, "root level link");
    EXPECT_LE(doc.Bookmarks()[9999].m_strKeywords.size(), 1200u);
    EXPECT_EQ(doc.Bookmarks()[10000].m_strKeywords, "root end");
}

TEST(Stress, UnterminatedTagsAndComments) {
    for (const std::string tail :
         {"<DL><DT><A HREF=\"http://x/\">name", "<DL><DT><A HREF=\"http://x/", "<!-- open",
          "<!--macro=[0][a][b", "<H3>folder", "&#x1F6"}) {
        FeedEveryReader(tail);
        CBrindleDoc doc;
        ImportNetscape(doc, kNetscape + tail);
        EXPECT_TRUE(doc.Bookmarks().empty()) << tail;
    }
    CBrindleDoc doc;
    ImportNetscape(doc, kNetscape + "<DT><A HREF=\"x\">a</A><DD>desc <b");
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strDescription, "desc");
}

TEST(Stress, AMegabyteOfOpeningBracketsOrCommentOpeners) {
    const std::string brackets(1 << 20, '<');
    std::string comments;
    while (comments.size() < (1u << 20))
        comments += "<!--";
    const std::string ampersands(1 << 20, '&');
    for (const std::string* text :
         std::initializer_list<const std::string*>{&brackets, &comments, &ampersands}) {
        FeedEveryReader(*text);
        CBrindleDoc doc;
        ImportNetscape(doc, kNetscape + *text + "<DL><DT><A HREF=\"http://after/\">After</A>");
        // The last '<' before the link starts a tag that the link's own '<' restarts.
        EXPECT_EQ(doc.Bookmarks().size(), 1u);
    }
}

constexpr size_t kFiftyMegabytes = 50u << 20;

TEST(Stress, FiftyMegabyteLinkName) {
    std::string text = kNetscape + "<DL><DT><A HREF=\"http://big/\">";
    text.append(kFiftyMegabytes, 'n');
    text += "</A></DL>";
    CBrindleDoc doc;
    ASSERT_TRUE(ImportNetscape(doc, text));
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strName.size(), kFiftyMegabytes);
}

TEST(Stress, FiftyMegabyteLineOfLinks) {
    std::string text;
    text.reserve(kFiftyMegabytes + 2048);
    const std::string name(1000, 'w');
    for (int i = 0; text.size() < kFiftyMegabytes; ++i)
        text += "<a href=\"http://x/" + std::to_string(i) + "\">" + name + "</a> ";
    CBrindleDoc doc;
    ImportAnchors(doc, text);
    EXPECT_GT(doc.Bookmarks().size(), 50'000u);
}

TEST(Stress, FiftyMegabyteShortcutLine) {
    std::string text = "[InternetShortcut]\nURL=http://x/";
    text.append(kFiftyMegabytes, 'u');
    CBrindleDoc doc;
    EXPECT_EQ(ReadUrlFileText(doc, "big.url", text, 1).added, 1);
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strURL.size(), kFiftyMegabytes + 9);
}

TEST(Stress, SixtyFourMegabyteFileOfOneLineOfLinks) {
    // A file whose links all stand on one line, as some exporters write them: read window by
    // window with every link kept. A reader or an import whose cost grows faster than the file
    // does runs into this test's time limit.
    constexpr size_t kSize = size_t{64} << 20;
    std::string text;
    text.reserve(kSize + 64);
    text = kNetscape.substr(0, kNetscape.size() - 1) + "<DL><p>";
    size_t links = 0;
    for (; text.size() < kSize; ++links) {
        const std::string n = std::to_string(links);
        text +=
            "<DT><A HREF=\"http://x/" + n + "\" ADD_DATE=\"" + n + "\">Link &amp; " + n + "</A>";
    }
    text += "</DL>";
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "one-line.htm", text);
    ASSERT_EQ(text.find('\n'), std::string::npos);
    text = {};

    CBrindleDoc doc;
    const ImportResult result = ImportFile(doc, dir.File("one-line.htm"));
    ASSERT_EQ(result.format, FormatId::Netscape);
    EXPECT_TRUE(result.problems.messages.empty());
    ASSERT_EQ(doc.Bookmarks().size(), links);
    for (size_t i : {size_t{0}, links / 2, links - 1}) {
        const BookmarkRef b = doc.Bookmarks()[i];
        EXPECT_EQ(b.m_strName, "Link & " + std::to_string(i));
        EXPECT_EQ(b.m_strURL, "http://x/" + std::to_string(i));
        EXPECT_EQ(b.m_strKeywords, "link");
        EXPECT_EQ(b.m_tAddDate, static_cast<BrxTime>(i));
    }
}
