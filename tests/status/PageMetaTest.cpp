// SPDX-License-Identifier: GPL-3.0-or-later
// What a fetch takes from a page.
#include "status/PageMeta.h"

#include <gtest/gtest.h>

#include <string>

using namespace brindle;

TEST(PageMetaTest, MetaTagsInAnyQuotingAndCase) {
    const PageMeta m =
        ExtractPageMeta("<HTML><HEAD><TITLE>  My   Page </TITLE>\n"
                        "<META content='Fish &amp; Chips' NAME=Description>\n"
                        "<meta name=\"KEYWORDS\" content=\"Food;Fish, Chips\">\n"
                        "<meta name=description content=\"second one ignored\"></HEAD>");
    EXPECT_EQ(m.title, "My Page");
    EXPECT_EQ(m.description, "Fish & Chips");
    EXPECT_EQ(m.keywords, "Food;Fish, Chips");
}

TEST(PageMetaTest, TitleRules) {
    EXPECT_EQ(ExtractPageMeta("<title>Caf&eacute; &#233; &lt;x&gt; &copy;</title>").title,
              "Caf\xC3\xA9 \xC3\xA9 <x> \xC2\xA9");
    EXPECT_EQ(ExtractPageMeta("<title>a <b>bold</b> title</title>").title, "")
        << "a title holding a tag is rejected";
    EXPECT_EQ(ExtractPageMeta("<title>never closed").title, "");
    EXPECT_EQ(ExtractPageMeta("<p>no title</p>").title, "");
}

TEST(PageMetaTest, QuotedGreaterThanAndNamedReferencesInValues) {
    const PageMeta m = ExtractPageMeta(
        "<head><meta name=\"description\" content=\"Home > Products &mdash; Caf&eacute;\">"
        "<meta content='a>b' name='keywords'><title>T</title></head>");
    EXPECT_EQ(m.description, "Home > Products \xE2\x80\x94 Caf\xC3\xA9");
    EXPECT_EQ(m.keywords, "a>b");
    EXPECT_EQ(m.title, "T");
}

TEST(PageMetaTest, KeywordsAreLowerCasedAndSemicolonsAndCommasSeparate) {
    EXPECT_EQ(FetchedKeywords("Alpha, Beta", ""), "alpha beta");
    EXPECT_EQ(FetchedKeywords("one,two ,three", ""), "one two three");
    EXPECT_EQ(FetchedKeywordCount(FetchedKeywords("Alpha, Beta", "")), 2);
    EXPECT_EQ(FetchedKeywords("a;b; c", ""), "a b  c");
    EXPECT_EQ(FetchedKeywordCount("a b  c"), 4);
    EXPECT_EQ(FetchedKeywords("", "My Page"), "my page");
    EXPECT_EQ(FetchedKeywords("", ""), "");
    EXPECT_EQ(FetchedKeywordCount(""), 0);
    EXPECT_EQ(FetchedKeywords(" ;Ärger; ", ""), "ärger");
}

TEST(PageMetaTest, CharsetFromHeaderOrPage) {
    EXPECT_EQ(CharsetOfContentType("text/html; charset=\"ISO-8859-1\""), "ISO-8859-1");
    EXPECT_EQ(CharsetOfContentType("text/html"), "");
    const std::string latin = "<title>Caf\xE9</title>";
    EXPECT_EQ(ExtractPageMeta(PageTextAsUtf8(latin, "iso-8859-1")).title, "Caf\xC3\xA9");
    // Declared in the page itself.
    const std::string declared = "<meta charset=windows-1252><title>\x93q\x94</title>";
    EXPECT_EQ(ExtractPageMeta(PageTextAsUtf8(declared, "")).title, "\xE2\x80\x9Cq\xE2\x80\x9D");
    EXPECT_FALSE(PageTextAsUtf8("<title>x</title>", "utf-8").empty());
    // Not UTF-8 and nothing declared: read as Windows-1252.
    EXPECT_EQ(PageTextAsUtf8("\xE9", ""), "\xC3\xA9");
}

TEST(PageMetaTest, HeadEnd) {
    const std::string page = "<html><head><title>t</title></HEAD ><body>";
    const std::size_t end = FindHeadEnd(page);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(page.substr(end), "<body>");
    EXPECT_EQ(FindHeadEnd("<html><head><title>t</ti"), std::string::npos);
    EXPECT_EQ(FindHeadEnd("<html><BODY>x"), 6u);
    // A marker split between two arrivals is found when scanning resumes.
    const std::string split = "<head>xxxxxxxxxx</he" + std::string("ad>");
    EXPECT_NE(FindHeadEnd(split, 18), std::string::npos);
}
