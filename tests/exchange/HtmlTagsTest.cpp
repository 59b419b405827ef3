// SPDX-License-Identifier: GPL-3.0-or-later
// Tag classification, attribute reading, references and the tag walk.

#include "exchange/HtmlTags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace brindle;

TEST(ClassifyTag, RecognisesEveryKindByNameInAnyCase) {
    EXPECT_EQ(ClassifyTag("h1"), kTagHeadingOpen);
    EXPECT_EQ(ClassifyTag("H3 ADD_DATE=\"1\" FOLDED"), kTagHeadingOpen);
    EXPECT_EQ(ClassifyTag("h"), kTagHeadingOpen);
    EXPECT_EQ(ClassifyTag("/H3"), kTagHeadingClose);
    EXPECT_EQ(ClassifyTag("/h12"), kTagHeadingClose);
    EXPECT_EQ(ClassifyTag("DL"), kTagListOpen);
    EXPECT_EQ(ClassifyTag("/dl"), kTagListClose);
    EXPECT_EQ(ClassifyTag("/A"), kTagAnchorClose);
    EXPECT_EQ(ClassifyTag("!-- a comment --"), kTagComment);
    EXPECT_EQ(ClassifyTag("!--macro=[0]--"), kTagComment);
    // Not headings or lists although they start with the same letters.
    for (const char* other : {"hr", "head", "html", "HR", "dlx", "dt", "DD", "p", "title",
                              "!DOCTYPE NETSCAPE-Bookmark-file-1", "!--", "!---", "!-- open"})
        EXPECT_EQ(ClassifyTag(other), kTagOther) << other;
}

TEST(ClassifyTag, AnAnchorIsAnATagWithHrefAnywhere) {
    for (const char* anchor :
         {"a href=\"x\"", "A HREF=\"x\"", "a  href=\"x\"", "a href='x'", "a href=x",
          "a class=\"c\" href=\"x\"", "A ID=\"rdf:1\" HREF=\"x\" ADD_DATE=\"2\"", "a\n  href=\"x\"",
          "a href = \"x\"", "a href"})
        EXPECT_EQ(ClassifyTag(anchor), kTagAnchorOpen) << anchor;
    for (const char* other : {"a name=\"top\"", "a", "abbr href=\"x\"", "area href=\"x\"",
                              "a hreflang=\"en\"", "a data-x=\"href=y\""})
        EXPECT_EQ(ClassifyTag(other), kTagOther) << other;
}

TEST(FindAttribute, ReadsEveryQuotingAndSkipsLookalikes) {
    const std::string tag =
        "A title='it''s' data-href=\"no\" HREF = \"http://x/?a=1&b=2\" TAGS=a,b folded "
        "last=\"unterminated";
    EXPECT_EQ(FindAttribute(tag, "href").value(), "http://x/?a=1&b=2");
    EXPECT_EQ(FindAttribute(tag, "tags").value(), "a,b");
    EXPECT_EQ(FindAttribute(tag, "FOLDED").value(), "");
    EXPECT_EQ(FindAttribute(tag, "last").value(), "unterminated");
    EXPECT_FALSE(FindAttribute(tag, "add_date").has_value());
    // The first of two equal names wins.
    EXPECT_EQ(FindAttribute("a href=\"1\" href=\"2\"", "href").value(), "1");
    EXPECT_EQ(AttributeText("a href=\"x?a=1&amp;b=&quot;2&quot;\"", "href"), "x?a=1&b=\"2\"");
}

TEST(ExtractQuotedValue, TakesTheQuotedTextAfterTheFirstEquals) {
    EXPECT_EQ(ExtractQuotedValue("a href=\"http://x/?q=1&r=2\""), "http://x/?q=1&r=2");
    EXPECT_EQ(ExtractQuotedValue("a href='single'"), "single");
    // Either quote closes the value.
    EXPECT_EQ(ExtractQuotedValue("a href=\"mixed'rest\""), "mixed");
    EXPECT_EQ(ExtractQuotedValue("a href=\"never closed"), "");
    EXPECT_EQ(ExtractQuotedValue("a href=unquoted"), "");
    EXPECT_EQ(ExtractQuotedValue("no equals \"x\""), "");
}

TEST(CharacterReferences, DecodeKnownFormsAndKeepTheRest) {
    EXPECT_EQ(DecodeCharacterReferences("a &amp; b &lt;c&gt; &quot;d&quot; &#39;e&#39; &apos;"),
              "a & b <c> \"d\" 'e' '");
    EXPECT_EQ(DecodeCharacterReferences("&#233;&#xE9;&#X1F600;"),
              "\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeCharacterReferences("&nbsp;"), "\xC2\xA0");
    // Unknown names, missing semicolons, NUL, surrogates and values beyond Unicode stay as
    // written.
    for (const char* kept : {"&copy;", "&amp", "AT&T", "&#0;", "&#xD800;", "&#x110000;",
                             "&#12345678;", "&#;", "&#x;", "& amp;", "&&&"})
        EXPECT_EQ(DecodeCharacterReferences(kept), kept) << kept;
}

TEST(CharacterReferences, EscapingRoundTrips) {
    const std::string text = "Tom & Jerry <b>\"quoted\"</A> 'single'";
    EXPECT_EQ(EscapeHtml(text), "Tom &amp; Jerry &lt;b&gt;&quot;quoted&quot;&lt;/A&gt; 'single'");
    EXPECT_EQ(DecodeCharacterReferences(EscapeHtml(text)), text);
    EXPECT_EQ(DecodeCharacterReferences(EscapeHtml("&amp;")), "&amp;");
}

TEST(CaseInsensitiveText, FindsMarkersInAnyCase) {
    EXPECT_EQ(FindNoCase("xx<!DocType Netscape-bookmark", "<!doctype netscape"), 2u);
    EXPECT_EQ(FindNoCase("<!doctype html", "<!doctype netscape"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("aAaB", "ab"), 2u);
    EXPECT_EQ(FindNoCase("short", "longer than text"), std::string_view::npos);
    EXPECT_TRUE(StartsWithNoCase("MDATA=[x]", "mdata="));
    EXPECT_FALSE(StartsWithNoCase("mda", "mdata="));
}

namespace {

struct Walk {
    std::vector<std::string> tags;
    std::string text;
};

Walk WalkTags(std::string_view input) {
    Walk w;
    ScanTags(
        input, [&](std::string_view t) { w.tags.emplace_back(t); },
        [&](std::string_view run) { w.text.append(run); });
    return w;
}

} // namespace

TEST(ScanTags, SplitsTagsAndTextAsTheReadersExpect) {
    Walk w = WalkTags("a<b>c</b>d > e<>f");
    EXPECT_EQ(w.tags, (std::vector<std::string>{"b", "/b"}));
    EXPECT_EQ(w.text, "acd > ef"); // a '>' outside a tag is text; an empty tag is nothing

    // '<' inside a tag starts it again.
    w = WalkTags("x<a href=\"<b>y");
    EXPECT_EQ(w.tags, (std::vector<std::string>{"b"}));
    EXPECT_EQ(w.text, "xy");

    // An unterminated tag at the end is dropped with everything after its '<'.
    w = WalkTags("text<unterminated tag");
    EXPECT_TRUE(w.tags.empty());
    EXPECT_EQ(w.text, "text");
}

TEST(ScanTags, RestartedTagsGiveTheSameWalkInPiecesOfAnySize) {
    // Runs of '<' restart the tag before a '>' that was already found; a '>' outside a tag is
    // text.
    // Long tags (an icon in an attribute) are searched differently from short ones.
    const std::string longTag = "a icon=\"" + std::string(70, 'i') + "\"";
    const std::string input = "x<<<a>y<b<c>z> <d e='<'>>f<<" + std::string(19, '<') + "g>h<<" +
                              std::string(40, 'x') + "<" + longTag + ">t<" + std::string(50, 'u');
    const Walk whole = WalkTags(input);
    EXPECT_EQ(whole.tags, (std::vector<std::string>{"a", "c", "'", "g", longTag}));
    EXPECT_EQ(whole.text, "xyz> >fht");
    for (size_t step = 1; step <= input.size(); ++step) {
        Walk w;
        TagStream stream;
        for (size_t at = 0; at < input.size(); at += step)
            stream.Feed(
                std::string_view(input).substr(at, step),
                [&](std::string_view t) { w.tags.emplace_back(t); },
                [&](std::string_view run) { w.text.append(run); });
        EXPECT_EQ(w.tags, whole.tags) << step;
        EXPECT_EQ(w.text, whole.text) << step;
    }
}

TEST(GatheredText, ViewsOneRunAndCopiesWhenThePieceEnds) {
    GatheredText text;
    std::string piece = "first";
    text.Append(piece);
    EXPECT_EQ(text.View().data(), piece.data()); // no copy while it is one run
    text.Keep();
    piece = "XXXXX";
    EXPECT_EQ(text.View(), "first");
    text.Append(" second");
    EXPECT_EQ(text.View(), "first second");
    text.Clear();
    EXPECT_EQ(text.Size(), 0u);
    std::string a = "a", b = "b";
    text.Append(a);
    text.Append("");
    text.Append(b);
    a = b = "?";
    EXPECT_EQ(text.View(), "ab");
}

TEST(CharacterReferences, AmpersandsThatStartNoReferenceStayAsWritten) {
    // Only '#' and the first letters of the known names can start a reference.
    EXPECT_EQ(DecodeCharacterReferences(std::string(1000, '&') + "amp;"),
              std::string(999, '&') + "&"); // the last one is "&amp;"
    EXPECT_EQ(DecodeCharacterReferences("&x;&Amp;&AMP;&Lt;&LT;&#65;&q"), "&x;&Amp;&&Lt;<A&q");
    std::string out = "kept ";
    AppendDecoded(out, "a&lt;b");
    EXPECT_EQ(out, "kept a<b");
}
