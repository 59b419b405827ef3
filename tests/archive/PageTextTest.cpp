// SPDX-License-Identifier: GPL-3.0-or-later
// The readable text of pages: what is kept, what is left out, charsets, hostile pages.
#include "archive/PageText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace brindle;
namespace fs = std::filesystem;

namespace {

PageText Html(const std::string& page, const std::string& charset = "") {
    return ExtractPageText(page, "text/html", charset);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(PageTextTest, KeepsWhatAReaderSeesAndLeavesFurnitureOut) {
    const PageText t = Html(
        "<html><head><title> The  Title </title><style>p{color:red}</style>"
        "<script>var secret=1;</script></head><body>"
        "<header>Site menu</header><nav><a href=/>Home</a> Navlink</nav>"
        "<article><header><h1>Heading One</h1></header>"
        "<p>First  paragraph\nwith   blanks.</p><ul><li>item one</li><li>item two</li></ul>"
        "<img src=x.png alt='a picture of a cat'><p hidden>hidden words</p>"
        "<div style='display: none'>invisible words</div><div aria-hidden=true>aria words</div>"
        "<noscript>enable scripts</noscript><template>template words</template></article>"
        "<aside>Related junk</aside><footer>Copyright footer</footer></body></html>");
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.title, "The Title");
    EXPECT_TRUE(Has(t.text, "Heading One\nFirst paragraph with blanks.\nitem one\nitem two\n"
                            "a picture of a cat"))
        << t.text;
    for (const char* absent :
         {"secret", "color:red", "Site menu", "Navlink", "hidden words", "invisible", "aria words",
          "enable scripts", "template words", "Related junk", "Copyright", "The Title"})
        EXPECT_FALSE(Has(t.text, absent)) << absent << " in: " << t.text;
}

TEST(PageTextTest, PlainTextIsKeptAndOtherTypesAreNot) {
    const PageText plain =
        ExtractPageText("line one\n  line   two\n<b>not a tag</b>", "text/plain", "");
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.text, "line one\nline two\n<b>not a tag</b>");
    EXPECT_FALSE(ExtractPageText("body{}", "text/css", "").ok);
    EXPECT_FALSE(ExtractPageText("GIF89a", "image/gif", "").ok);
}

TEST(PageTextTest, CharsetFromHeaderThenMetaThenSniffing) {
    // "café" in Latin-1, Windows-1251 ("мир") and UTF-8.
    EXPECT_TRUE(Has(Html("<p>caf\xE9</p>", "iso-8859-1").text, "caf\xC3\xA9"));
    EXPECT_TRUE(Has(Html("<meta charset=windows-1251><p>\xEC\xE8\xF0</p>").text,
                    "\xD0\xBC\xD0\xB8\xD1\x80"));
    EXPECT_TRUE(Has(Html("<meta http-equiv=Content-Type content='text/html; charset=koi8-r'>"
                         "<p>\xCD\xC9\xD2</p>")
                        .text,
                    "\xD0\xBC\xD0\xB8\xD1\x80"));
    EXPECT_TRUE(Has(Html("<p>caf\xE9</p>").text, "caf\xC3\xA9")) << "not UTF-8: Windows-1252";
    // Mislabelled both ways: UTF-8 bytes called Latin-1, Latin-1 bytes called UTF-8.
    EXPECT_TRUE(Has(Html("<p>caf\xC3\xA9</p>", "iso-8859-1").text, "caf\xC3\xA9"));
    EXPECT_TRUE(Has(Html("<meta charset=utf-8><p>caf\xE9</p>").text, "caf\xC3\xA9"));
    EXPECT_TRUE(Has(Html("<p>caf\xE9</p>", "no-such-charset").text, "caf\xC3\xA9"));
}

TEST(PageTextTest, HostilePagesEndQuicklyWithBoundedText) {
    // 5 MB of one tag, nested without end.
    std::string nested;
    while (nested.size() < kArchivePageLimit)
        nested += "<div>";
    EXPECT_TRUE(Html(nested + "deep").ok);
    // One tag 5 MB long.
    const PageText attr = Html("<p title='" + std::string(kArchivePageLimit, 'a') + "'>after</p>");
    EXPECT_TRUE(attr.ok);
    EXPECT_LT(attr.text.size(), 100u);
    // A page that never ends arrives cut at the limit; what came is read.
    std::string endless = "<html><body><p>start of an endless page";
    while (endless.size() < kArchivePageLimit + 1000)
        endless += " more words of the endless page";
    const PageText cut = Html(endless);
    EXPECT_TRUE(Has(cut.text, "start of an endless page"));
    EXPECT_LE(cut.text.size(), 1024u * 1024u) << "stored text is bounded";
    // Binary served as text/html.
    std::string binary = "\x89PNG\r\n\x1a\n";
    binary += std::string("\0\0\0\rIHDR", 8);
    EXPECT_FALSE(Html(binary).ok);
    EXPECT_FALSE(ExtractPageText(std::string(4000, '\x01'), "text/plain", "").ok);
}

TEST(PageTextTest, CorpusPagesGiveTheirText) {
    const char* shared = std::getenv("BRINDLE_SHARED_DIR");
    const fs::path dir = shared ? fs::path(shared) / "corpus" / "html" : fs::path();
    if (dir.empty() || !fs::is_directory(dir))
        GTEST_SKIP()
            << "outside corpus not found (BRINDLE_SHARED_DIR/corpus); corpus checks skipped";
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const PageText t = Html(bytes.str());
        SCOPED_TRACE(entry.path().filename().string());
        ASSERT_TRUE(t.ok);
        EXPECT_GT(t.text.size(), 100u);
        EXPECT_FALSE(Has(t.text, "<script")) << "no markup left";
        EXPECT_FALSE(Has(t.text, "{\n")) << "no style sheet text";
        ++pages;
    }
    EXPECT_GT(pages, 0);
}
