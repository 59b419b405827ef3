// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Bookmark.h"
#include "store/KeywordText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

CBookmark WithKeywords(std::string_view text) {
    return CBookmark("Name", "http://x/", text, "", "", 1, kNoSchedule, kStatusWaiting, 0, 0, 0, 0);
}

TEST(KeywordNormalisation, SeparatorsDuplicatesAndCase) {
    CBookmark b = WithKeywords("  web (tools) web, Web ");
    EXPECT_EQ(b.m_strKeywords, "web tools Web");
    EXPECT_THAT(b.m_arrKeywords, ElementsAre("Web", "tools", "web"));
}

TEST(KeywordNormalisation, DroppingBytesDiscardTheWholeWord) {
    EXPECT_EQ(WithKeywords("mp3 music").m_strKeywords, "music");
    EXPECT_EQ(WithKeywords("r&d news.group e-mail").m_strKeywords, "e mail");
    EXPECT_EQ(WithKeywords("a1b c").m_strKeywords, "c");
    // Dropping ends at the next separator only, so "x.y" and "z" go together.
    EXPECT_EQ(WithKeywords("x.y{z} w").m_strKeywords, "z w");
}

TEST(KeywordNormalisation, BlankAndEmptyEntries) {
    for (const char* entry : {"", "   ", "\t \t", "123 456", "()[]{}"}) {
        CBookmark b = WithKeywords(entry);
        EXPECT_EQ(b.m_strKeywords, "") << entry;
        EXPECT_THAT(b.m_arrKeywords, IsEmpty()) << entry;
    }
}

TEST(KeywordNormalisation, NonAsciiAndControlBytesAreWordBytes) {
    CBookmark b = WithKeywords("caf\xc3\xa9 a\tb \xff\xfe");
    EXPECT_EQ(b.m_strKeywords, "caf\xc3\xa9 a\tb \xff\xfe");
    EXPECT_EQ(b.m_arrKeywords.size(), 3u);
}

TEST(KeywordNormalisation, CommaDropsOnTheAddPath) {
    EXPECT_EQ(brindle::NormalizeKeywordText("web, tools news", true), "tools news");
    EXPECT_EQ(brindle::NormalizeKeywordText("web, tools news", false), "web tools news");
}

TEST(KeywordEdits, AddRemoveRename) {
    CBookmark b = WithKeywords("web webcam");
    EXPECT_EQ(b.RemoveKeyword("web"), 1);
    EXPECT_EQ(b.m_strKeywords, "webcam");
    EXPECT_EQ(b.RemoveKeyword("web"), 0);
    EXPECT_EQ(b.m_strKeywords, "webcam");

    b.AddKeyword("  news ");
    b.AddKeyword("news");
    EXPECT_EQ(b.m_strKeywords, "webcam news");
    EXPECT_THAT(b.m_arrKeywords, ElementsAre("news", "webcam"));

    CBookmark empty = WithKeywords("");
    empty.AddKeyword("solo");
    EXPECT_EQ(empty.m_strKeywords, "solo");
    empty.AddKeyword("   ");
    EXPECT_EQ(empty.m_strKeywords, "solo");
}

TEST(KeywordEdits, RenameOntoPresentKeywordLeavesItOnce) {
    CBookmark b = WithKeywords("news web");
    EXPECT_EQ(b.RenameKeyword("news", "web"), 1);
    EXPECT_EQ(b.m_strKeywords, "web");
    EXPECT_THAT(b.m_arrKeywords, ElementsAre("web"));
    EXPECT_EQ(b.RenameKeyword("absent", "x"), 0);
    EXPECT_EQ(b.m_strKeywords, "web");
}

TEST(KeywordEdits, RebuildFromStoredTextKeepsTheText) {
    CBookmark b;
    b.m_strKeywords = "zeta  alpha zeta";
    b.RebuildKeywordList();
    EXPECT_EQ(b.m_strKeywords, "zeta  alpha zeta");
    EXPECT_THAT(b.m_arrKeywords, ElementsAre("alpha", "zeta"));
}

TEST(MatchText, CaseAndFieldMask) {
    CBookmark b("Daily Mail Digest", "http://news.example/", "news", "", "", 1, kNoSchedule,
                "Waiting", 0, 0, 0, 0);
    EXPECT_TRUE(b.MatchText("MAIL", false, kSearchName));
    EXPECT_FALSE(b.MatchText("MAIL", true, kSearchName));
    EXPECT_TRUE(b.MatchText("Mail", true, kSearchName));
    EXPECT_FALSE(b.MatchText("mail", false, kSearchURL | kSearchKeywords));
    EXPECT_TRUE(b.MatchText("wait", false, kSearchStatus));
    EXPECT_TRUE(b.MatchText("none", false, kSearchSchedule));
    EXPECT_FALSE(b.MatchText("mail", false, 0));
}

TEST(MatchText, NonAsciiFoldsThroughUnicode) {
    CBookmark b("\xc3\x89t\xc3\xa9 \xc3\x80 Paris", "", "", "", "", 1, kNoSchedule, "", 0, 0, 0, 0);
    EXPECT_TRUE(b.MatchText("\xc3\xa9t\xc3\xa9", false, kSearchName)); // été finds Été
    EXPECT_FALSE(b.MatchText("\xc3\xa9t\xc3\xa9", true, kSearchName));
    EXPECT_TRUE(b.MatchText("PARIS", false, kSearchName));
}

TEST(FieldText, NumbersTitlesAndStatusChecking) {
    CBookmark b("N", "U", "k", "D", "T", 1, "S", "Changed", 0, 0, 0, 0);
    const std::string pattern = "%Y";
    EXPECT_EQ(b.GetFieldText(kFieldName, pattern), "N");
    EXPECT_EQ(b.GetFieldText(kFieldNotes, pattern), "T");
    EXPECT_EQ(b.GetFieldText(kFieldSchedule, pattern), "S");
    EXPECT_EQ(b.GetFieldText(kFieldStatus, pattern), "Changed");
    EXPECT_EQ(b.GetFieldText(kFieldStatusChecking, pattern), "Enable");
    b.m_wStatusChecking = 0;
    EXPECT_EQ(b.GetFieldText(kFieldStatusChecking, pattern), "Disable");
    EXPECT_EQ(b.GetFieldText(12, pattern), "?");
    EXPECT_EQ(b.GetFieldText(-1, pattern), "?");
    EXPECT_EQ(b.GetFieldTime(kFieldName), 0);
    // A date of 0 is never, in every time zone: no text.
    EXPECT_EQ(b.GetFieldText(kFieldAddDate, pattern), "");
    EXPECT_EQ(b.GetFieldText(kFieldLastVisited, pattern), "");
    b.m_tLastChecked = 400 * 86400;
    EXPECT_EQ(b.GetFieldText(kFieldLastChecked, pattern), "1971");
    EXPECT_STREQ(FieldTitle(kFieldStatusChecking), "Status_checking");
    EXPECT_STREQ(FieldTitle(12), "?");
}

TEST(Equality, DatesAreIgnoredAndStatusCounts) {
    CBookmark a("N", "U", "k", "D", "T", 1, "S", "Waiting", 1, 2, 3, 4);
    CBookmark b("N", "U", "k", "D", "T", 1, "S", "Waiting", 9, 9, 9, 9);
    EXPECT_TRUE(a.Equals(b));
    b.m_strStatus = "Changed";
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(a.EqualsName(b));
    b.m_strName = "M";
    EXPECT_FALSE(a.EqualsName(b));
}

} // namespace
