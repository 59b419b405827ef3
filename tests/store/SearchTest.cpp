// SPDX-License-Identifier: GPL-3.0-or-later
// The keyword query language and string search, through the document as the search box uses it.

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

class SearchTest : public ::testing::Test {
  protected:
    void Add(const std::string& name, const std::string& keywords) {
        ASSERT_TRUE(doc.AddBookmark({.name = name,
                                     .url = "http://" + name + "/",
                                     .keywords = keywords,
                                     .statusChecking = 1,
                                     .schedule = kNoSchedule,
                                     .status = kStatusWaiting}));
    }
    void SetUp() override {
        Add("a", "web tools");          // 0
        Add("b", "web news");           // 1
        Add("c", "news");               // 2
        Add("d", "web toolsets");       // 3
        Add("e", "javascript");         // 4
        Add("f", "jav");                // 5
        Add("g", "Web");                // 6: never found by keyword search
        Add("h", "tools news web old"); // 7
    }
    // The names of the keyword search result, in result order.
    std::vector<std::string> Keyword(const std::string& query) {
        doc.SetSearchMode(kSearchKeyword);
        doc.Search(query, false, 0);
        return Names(doc.KeywordHits());
    }
    std::vector<std::string> String(const std::string& text, bool matchCase, std::uint8_t mask) {
        doc.SetSearchMode(kSearchString);
        doc.Search(text, matchCase, mask);
        return Names(doc.StringHits());
    }
    std::vector<std::string> Names(const std::vector<std::uint32_t>& hits) {
        std::vector<std::string> names;
        for (auto i : hits)
            names.emplace_back(doc.Bookmarks()[i].m_strName);
        return names;
    }
    CBrindleDoc doc;
};

TEST_F(SearchTest, EmptyQueriesShowEverything) {
    EXPECT_EQ(Keyword("").size(), 8u);
    EXPECT_EQ(Keyword("   ").size(), 8u);
    EXPECT_EQ(String("", false, 0).size(), 8u);
    EXPECT_EQ(String(" \t ", true, kSearchAllFields).size(), 8u);
}

TEST_F(SearchTest, PartialMatchOfTheLastTermOnly) {
    EXPECT_THAT(Keyword("jav"), ElementsAre("e", "f"));
    EXPECT_THAT(Keyword("jav."), ElementsAre("f"));
    EXPECT_TRUE(doc.TrailingDot());
    EXPECT_THAT(Keyword("web.tools"), ElementsAre("a", "d", "h"));
    EXPECT_THAT(Keyword("web.tools."), ElementsAre("a", "h"));
    doc.SetPartialMatch(false);
    EXPECT_THAT(Keyword("jav"), ElementsAre("f"));
    EXPECT_THAT(Keyword("web.tools"), ElementsAre("a", "h"));
}

TEST_F(SearchTest, TermsAreLowerCasedAndDotsDropFollowingBlanks) {
    EXPECT_THAT(Keyword("  WEB.   News "), ElementsAre("b", "h"));
    EXPECT_THAT(doc.Terms(), ElementsAre("web", "news"));
    EXPECT_THAT(Keyword("web..news"), ElementsAre("b", "h"));
    EXPECT_THAT(doc.Terms(), ElementsAre("web", "news"));
}

TEST_F(SearchTest, Operators) {
    doc.SetPartialMatch(false);
    EXPECT_THAT(Keyword("web&tools"), ElementsAre("a", "h"));
    EXPECT_THAT(Keyword("web|news"), ElementsAre("a", "b", "c", "d", "h"));
    EXPECT_THAT(Keyword("web!news"), ElementsAre("a", "d"));
    EXPECT_THAT(Keyword("(web|news)&tools"), ElementsAre("a", "h"));
    EXPECT_THAT(Keyword("news&(web!tools)"), ElementsAre("b"));
    EXPECT_THAT(Keyword("web & tools"), ElementsAre("a", "h"));
}

TEST_F(SearchTest, OperatorOnlyQueries) {
    EXPECT_THAT(Keyword("&"), IsEmpty());
    EXPECT_EQ(Keyword("|").size(), 8u);
    EXPECT_THAT(Keyword("!web"), IsEmpty());
    EXPECT_THAT(Keyword("!"), IsEmpty());
    EXPECT_THAT(Keyword("("), IsEmpty());
    EXPECT_THAT(Keyword("web.nosuchword.tools"), IsEmpty());
}

TEST_F(SearchTest, EmptyOperandLeavesAndUnchanged) {
    doc.SetPartialMatch(false);
    EXPECT_THAT(Keyword("web&"), ElementsAre("a", "b", "d", "h"));
    EXPECT_THAT(Keyword("web&nosuch"), IsEmpty());
    EXPECT_THAT(Keyword("web!nosuch"), ElementsAre("a", "b", "d", "h"));
}

TEST_F(SearchTest, ParenthesisReductionAsWritten) {
    doc.SetPartialMatch(false);
    // ")" hands the operator after it to the entry before it: "(news)&web" narrows news by web.
    EXPECT_THAT(Keyword("(news)&web"), ElementsAre("b", "h"));
    // A stray ")" lowers the level; the evaluator still ends with the top entry.
    EXPECT_THAT(Keyword("a)b("), IsEmpty());
    EXPECT_THAT(Keyword("old)|jav"), ElementsAre("f", "h"));
    // An operand before "(" is ignored.
    EXPECT_THAT(Keyword("web(news)"), ElementsAre("b", "c", "h"));
}

TEST_F(SearchTest, UpperCaseKeywordsAreFoundOnlyByStringSearch) {
    EXPECT_THAT(Keyword("web"), ::testing::Not(::testing::Contains("g")));
    EXPECT_THAT(String("WEB", false, kSearchKeywords), ::testing::Contains("g"));
    EXPECT_THAT(String("Web", true, kSearchKeywords), ElementsAre("g"));
}

TEST_F(SearchTest, StringSearchMasksAndRememberedValues) {
    EXPECT_THAT(String("http://c/", false, 0), IsEmpty());
    EXPECT_THAT(String("http://c/", false, kSearchURL), ElementsAre("c"));
    EXPECT_THAT(String("waiting", false, kSearchStatus).size(), 8u);
    EXPECT_EQ(doc.LastFields(), kSearchStatus);
    EXPECT_EQ(doc.LastMatchCase(), 0);
    String("x", true, kSearchNotes);
    EXPECT_EQ(doc.LastMatchCase(), 1);
    EXPECT_EQ(doc.LastSearch(), "x");
    // A match must lie inside one field, not across two (schedule, then status).
    EXPECT_THAT(String(std::string("<none>\0waiting", 14), false, kSearchAllFields), IsEmpty());
    EXPECT_THAT(String(std::string("<None>\0Waiting", 14), true, kSearchAllFields), IsEmpty());
}

TEST_F(SearchTest, ResultOrderingIsStableAndDatesCompareAsNumbers) {
    doc.SetFieldTime(0, kFieldAddDate, 1000000000); // 10 digits
    doc.SetFieldTime(1, kFieldAddDate, 999999999);  // 9 digits: textually larger, numerically less
    doc.SetFieldTime(2, kFieldAddDate, 1000000000);
    doc.SetModifiedFlag(true);
    doc.SetSortOrder(kFieldAddDate, true);
    EXPECT_THAT(Keyword("web|news"),
                ElementsAre("d", "h", "b", "a", "c")); // d, h have 0; a before c (stable)
    doc.SetSortOrder(kFieldAddDate, false);
    EXPECT_THAT(Keyword("web|news"), ElementsAre("a", "c", "b", "d", "h"));
}

TEST_F(SearchTest, SortActiveHitsKeepsOrderOfEquals) {
    doc.SetPartialMatch(false);
    Keyword("news|web"); // b, c, h, then a, d by the union, ordered by name
    doc.SetSortOrder(kFieldStatusChecking,
                     doc.SortAscending() != 0); // every bookmark "Enable": all equal
    doc.SortActiveHits();
    EXPECT_THAT(Names(doc.KeywordHits()), ElementsAre("a", "b", "c", "d", "h"));
    doc.SetStatusChecking(7, 0);
    doc.SetModifiedFlag(true);
    doc.SortActiveHits();
    EXPECT_THAT(Names(doc.KeywordHits()), ElementsAre("h", "a", "b", "c", "d"));
}

TEST_F(SearchTest, DictionaryDescribesTheResult) {
    Keyword("web.");
    EXPECT_THAT(doc.Dictionary(), ElementsAre("news", "old", "tools", "toolsets", "web"));
    EXPECT_EQ(doc.Counts(), (SearchCounts{kSearchKeyword, 5, 4, 8}));
    EXPECT_EQ(doc.FindDictionaryKeyword("tools"), 2);
    EXPECT_EQ(doc.FindDictionaryKeyword("tool"), -1);
    // A string search leaves the dictionary as it was.
    String("zzz", false, kSearchAllFields);
    EXPECT_EQ(doc.Dictionary().size(), 5u);
}

// A file just read takes shortcuts: the whole collection's dictionary from its texts, and for
// the command line hits read from the texts in place. Both must agree with the indexed search.
TEST_F(SearchTest, ShortcutsOfAFileJustReadAgreeWithTheIndex) {
    Add("i", "  web  jav web ");
    CBrindleDoc read, hitsOnly;
    const std::string bytes = brindle::DocumentToBytes(doc);
    ASSERT_TRUE(brindle::ReadDocumentBytes(read, bytes).ok);
    ASSERT_TRUE(brindle::ReadDocumentBytes(hitsOnly, bytes).ok);
    hitsOnly.SetHitsOnly(true);
    Keyword("");
    read.Search("", false, 0);
    EXPECT_EQ(read.Dictionary(), doc.Dictionary());
    EXPECT_THAT(read.Dictionary(),
                ElementsAre("Web", "jav", "javascript", "news", "old", "tools", "toolsets", "web"));
    for (const char* query : {"web", "tool", "web.", "web.tools", "news | jav", "web & !tools."}) {
        for (const bool partial : {true, false}) {
            doc.SetPartialMatch(partial);
            hitsOnly.SetPartialMatch(partial);
            doc.Search(query, false, 0);
            hitsOnly.Search(query, false, 0);
            EXPECT_EQ(hitsOnly.KeywordHits(), doc.KeywordHits()) << query << " " << partial;
            EXPECT_TRUE(hitsOnly.Dictionary().empty());
        }
    }
}

TEST_F(SearchTest, HostileQueriesEndWithTheDefinedResult) {
    EXPECT_THAT(Keyword("(("), IsEmpty());
    EXPECT_THAT(Keyword(")"), IsEmpty());
    EXPECT_THAT(Keyword(std::string(10000, '(') + "web"), ElementsAre("a", "b", "d", "h"));
    EXPECT_THAT(Keyword(std::string(10000, ')') + "web"), IsEmpty());
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "web&(";
    EXPECT_THAT(Keyword(deep), IsEmpty());
    std::string big(1 << 20, 'a');
    EXPECT_THAT(Keyword(big), IsEmpty());
    std::string ops;
    for (int i = 0; i < 100000; ++i)
        ops += "|!&";
    EXPECT_EQ(Keyword(ops).size(), 8u); // the first "|" brings in everything; nothing removes it
    EXPECT_THAT(Keyword("\xff\xfe\x01.\x80"), IsEmpty());
    EXPECT_THAT(String(std::string(1 << 20, 'x'), false, kSearchAllFields), IsEmpty());
}

TEST_F(SearchTest, ControlBytesAndInvalidUtf8InKeywordTexts) {
    doc.SetFieldText(0, kFieldKeywords, "a\x01web \xff\xfe tools\n");
    doc.SetModifiedFlag(true);
    EXPECT_THAT(Keyword("\xff\xfe"), ElementsAre("a"));
    EXPECT_THAT(Keyword("tools."), ElementsAre("h")); // "tools\n" is not the word "tools"
    EXPECT_THAT(Keyword("a\x01web."), ElementsAre("a"));
}

TEST_F(SearchTest, MatchesStayInsideOneKeywordText) {
    // Bookmark a's text ends with "tools" and b's begins with "web".
    EXPECT_THAT(Keyword("tools\nweb"), IsEmpty());
    EXPECT_THAT(Keyword("tools\nweb."), IsEmpty());
    EXPECT_THAT(Keyword("web tools"), ElementsAre("a", "d"));
}

TEST_F(SearchTest, MatchesSearchRechecksOneBookmark) {
    Keyword("web.tools");
    EXPECT_TRUE(doc.MatchesSearch(0, true));
    EXPECT_TRUE(doc.MatchesSearch(3, true));
    EXPECT_FALSE(doc.MatchesSearch(1, true));
    EXPECT_TRUE(doc.MatchesSearch(0, false));
    EXPECT_FALSE(doc.MatchesSearch(2, false));
    EXPECT_FALSE(doc.MatchesSearch(99, true));
    String("http://b", false, kSearchURL);
    EXPECT_TRUE(doc.MatchesSearch(1, true));
    EXPECT_FALSE(doc.MatchesSearch(0, true));
}

} // namespace

// A large collection is ranked a part at a time; the order must be the one a stable sort by
// the field gives, with many equal values and texts alike in their first sixteen bytes.
TEST(ResultOrderTest, RankedOrderOfALargeCollectionIsTheStableSortByTheField) {
    brindle::BookmarkList list;
    const std::string common = "https://www.example.com/path/";
    for (std::uint32_t i = 0; i < 70000; ++i) {
        const std::uint32_t h = i * 2654435761u;
        std::string name = i % 7 == 0 ? "Same name" : "Name " + std::to_string(h % 5000);
        if (i % 11 == 0)
            name = name.substr(0, h % 4); // empty, or a prefix of others
        list.push_back(CBookmark(name, common + std::to_string(h % 30000), "", "", "",
                                 static_cast<std::uint16_t>(h >> 31), kNoSchedule, kStatusWaiting,
                                 933279936 + h % 100, 0, 0, 0));
    }
    std::vector<std::uint32_t> all(list.size());
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    for (const int field : {kFieldName, kFieldURL, kFieldAddDate, kFieldStatusChecking}) {
        brindle::ResultOrder order;
        for (const bool ascending : {true, false}) {
            std::vector<std::uint32_t> expected = all, hits = all;
            std::stable_sort(expected.begin(), expected.end(), [&](auto x, auto y) {
                const int c = brindle::CompareByField(list.Record(x), list.Record(y), field);
                return ascending ? c < 0 : c > 0;
            });
            order.Order(hits, list, field, ascending);
            EXPECT_EQ(hits, expected) << field << " " << ascending;
        }
    }
}
