// SPDX-License-Identifier: GPL-3.0-or-later
// The document's bookmark, undo, keyword-command, macro and status-pane behaviour.

#include "support/RecordingListener.h"

#include "store/BrindleDoc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

bool Add(CBrindleDoc& doc, std::string_view name, std::string_view url,
         std::string_view keywords = "", std::string_view schedule = kNoSchedule) {
    return doc.AddBookmark({.name = name,
                            .url = url,
                            .keywords = keywords,
                            .statusChecking = 1,
                            .schedule = schedule,
                            .status = kStatusWaiting,
                            .addDate = 100});
}

std::vector<std::string> Names(const CBrindleDoc& doc) {
    std::vector<std::string> names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace_back(b.m_strName);
    return names;
}

TEST(Document, DefaultsRightAfterStartUp) {
    CBrindleDoc doc;
    EXPECT_EQ(doc.SearchMode(), 1);
    EXPECT_EQ(doc.PartialMatch(), 1);
    EXPECT_EQ(doc.MatchCase(), 0);
    EXPECT_EQ(doc.StringFields(),
              kSearchName | kSearchURL | kSearchKeywords | kSearchDescription | kSearchNotes);
    EXPECT_EQ(doc.Columns(), 0x0FFF);
    EXPECT_EQ(doc.SortColumn(), 0);
    EXPECT_EQ(doc.SortAscending(), 1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.Prefs().m_strTimeFormat, "Y-m-D H:M:S");
    EXPECT_EQ(doc.Prefs().m_arrStatusIcons[14], (14u << 16) + 14u);
    EXPECT_EQ(doc.Prefs().m_arrStatusIcons[15], (3u << 16) + 15u);
}

TEST(Document, AddRejectsEmptyNamesAndDuplicatePairs) {
    CBrindleDoc doc;
    EXPECT_FALSE(Add(doc, "   ", "http://a/"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(Add(doc, "  Home ", "http://a/", " web, tools news "));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Home");
    EXPECT_EQ(doc.Bookmarks()[0].m_strKeywords, "tools news"); // "web," is dropped whole
    EXPECT_FALSE(Add(doc, "Home", "http://a/"));
    EXPECT_FALSE(Add(doc, " Home", "http://a/"));
    EXPECT_TRUE(Add(doc, "Home", "http://b/"));
    EXPECT_TRUE(Add(doc, "Home2", "http://a/"));
    EXPECT_EQ(doc.Bookmarks().size(), 3u);
}

TEST(Document, DuplicateCheckFollowsEditsMadeElsewhere) {
    CBrindleDoc doc;
    ASSERT_TRUE(Add(doc, "A", "http://a/"));
    ASSERT_TRUE(Add(doc, "B", "http://b/"));
    // A change through the document (here a property edit) must be seen by the next add.
    doc.SetFieldText(1, kFieldName, "C");
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(Add(doc, "C", "http://b/"));
    EXPECT_TRUE(Add(doc, "B", "http://b/"));
    doc.DeleteBookmark(0);
    EXPECT_TRUE(Add(doc, "A", "http://a/"));
    EXPECT_FALSE(Add(doc, "B", "http://b/"));
}

TEST(Document, UnknownScheduleBecomesNone) {
    CBrindleDoc doc;
    doc.AddSchedule("Weekly", 604800, true);
    ASSERT_TRUE(Add(doc, "A", "u1", "", "Weekly"));
    ASSERT_TRUE(Add(doc, "B", "u2", "", "weekly"));
    EXPECT_EQ(doc.Bookmarks()[0].m_strSchedule, "Weekly");
    EXPECT_EQ(doc.Bookmarks()[1].m_strSchedule, "<None>");
    EXPECT_TRUE(doc.ScheduleExists("Weekly"));
    EXPECT_FALSE(doc.ScheduleExists("weekly"));
    EXPECT_EQ(doc.GetDefaultScheduleName(), "Weekly");
    EXPECT_EQ(doc.GetScheduleName(0), "Weekly");
    EXPECT_EQ(doc.GetScheduleName(1), "");
}

TEST(Document, DefaultScheduleIsTheFirstMarkedOne) {
    CBrindleDoc doc;
    EXPECT_EQ(doc.GetDefaultScheduleName(), "");
    doc.AddSchedule("a", -1, false);
    doc.AddSchedule("b", -1, true);
    doc.AddSchedule("c", -1, true);
    EXPECT_EQ(doc.GetDefaultScheduleName(), "b");
}

TEST(Document, UndoRestoresOnlyTheLastDelete) {
    CBrindleDoc doc;
    for (const char* n : {"a", "b", "c", "d", "e"})
        Add(doc, n, std::string("http://") + n);
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmark(2);
    doc.DeleteBookmark(1);
    doc.DeleteBookmark(0); // three deleted: c, b, a
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmark(0); // d
    EXPECT_THAT(Names(doc), ElementsAre("e"));
    doc.UndoDeleteBookmarks();
    EXPECT_THAT(Names(doc), ElementsAre("e", "d"));
    EXPECT_THAT(doc.DeletedBookmarks(), IsEmpty());
    doc.UndoDeleteBookmarks();
    EXPECT_THAT(Names(doc), ElementsAre("e", "d"));
}

TEST(Document, UndoSkipsBookmarksAddedAgain) {
    CBrindleDoc doc;
    Add(doc, "a", "u");
    Add(doc, "b", "v");
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmark(0);
    Add(doc, "a", "u");
    doc.UndoDeleteBookmarks();
    EXPECT_THAT(Names(doc), ElementsAre("b", "a"));
}

TEST(Document, UndoKeepsDatesAndEveryField) {
    CBrindleDoc doc;
    doc.AddBookmark({.name = "n",
                     .url = "u",
                     .keywords = "k",
                     .description = "d",
                     .notes = "t",
                     .schedule = kNoSchedule,
                     .status = "Changed",
                     .addDate = 1,
                     .lastVisited = 2,
                     .lastModified = 3,
                     .lastChecked = 4});
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmark(0);
    doc.UndoDeleteBookmarks();
    ASSERT_EQ(doc.Bookmarks().size(), 1u);
    const BookmarkRef b = doc.Bookmarks()[0];
    EXPECT_EQ(b.m_strDescription, "d");
    EXPECT_EQ(b.m_strNotes, "t");
    EXPECT_EQ(b.m_wStatusChecking, 0);
    EXPECT_EQ(b.m_strStatus, "Changed");
    EXPECT_EQ(b.m_tAddDate, 1);
    EXPECT_EQ(b.m_tLastChecked, 4);
}

TEST(Document, BulkDeleteMatchesSingleDeletesAndFixesHitLists) {
    CBrindleDoc bulk, single;
    for (int i = 0; i < 10; ++i) {
        // Appended, not "n" + std::to_string(i): GCC 12 warns (-Wrestrict) on that in Release.
        const std::string name = std::string("n").append(std::to_string(i));
        Add(bulk, name, "u");
        Add(single, name, "u");
    }
    bulk.Search("", false, 0);
    bulk.DeleteBookmarks({7, 2, 5});
    // The same deletes one by one, each index lowered for the deletes before it.
    single.DeleteBookmark(7);
    single.DeleteBookmark(2);
    single.DeleteBookmark(4);
    EXPECT_EQ(Names(bulk), Names(single));
    ASSERT_EQ(bulk.DeletedBookmarks().size(), 3u);
    EXPECT_EQ(bulk.DeletedBookmarks()[0].m_strName, "n7");
    EXPECT_EQ(bulk.DeletedBookmarks()[1].m_strName, "n2");
    EXPECT_EQ(bulk.DeletedBookmarks()[2].m_strName, "n5");
    EXPECT_THAT(bulk.KeywordHits(), ElementsAre(0, 1, 2, 3, 4, 5, 6));
    EXPECT_TRUE(bulk.IsModified());
}

TEST(Document, ClearUndoKinds) {
    CBrindleDoc doc;
    Add(doc, "a", "u", "web");
    doc.DeleteKeywordEverywhere("web");
    EXPECT_THAT(doc.UndoKeywordOwners(), ElementsAre(0));
    doc.ClearUndo(kUndoKeyword);
    EXPECT_THAT(doc.UndoKeywordOwners(), IsEmpty());
    doc.AddMacro(kMacroUrl, "m", "u", 0);
    doc.DeleteMacro(0);
    doc.ClearUndo(7);
    EXPECT_EQ(doc.DeletedMacros().size(), 1u);
    doc.ClearUndo(kUndoMacros);
    EXPECT_THAT(doc.DeletedMacros(), IsEmpty());
    Add(doc, "b", "v", "web");
    doc.DeleteKeywordEverywhere("web");
    doc.DeleteBookmark(0);
    doc.ClearUndo(kUndoBookmarks);
    EXPECT_THAT(doc.DeletedBookmarks(), IsEmpty());
    EXPECT_THAT(doc.UndoKeywordOwners(), IsEmpty());
}

TEST(Document, MarkVisitedAndAccessorsPastTheEnd) {
    CBrindleDoc doc;
    Add(doc, "a", "u");
    doc.SetModifiedFlag(false);
    const BrxTime before = CBrindleDoc::Now();
    doc.MarkVisited(0);
    EXPECT_GE(doc.Bookmarks()[0].m_tLastVisited, before);
    EXPECT_LE(doc.Bookmarks()[0].m_tLastVisited, CBrindleDoc::Now());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFieldText(5, 0), "");
    EXPECT_EQ(doc.GetFieldTime(5, kFieldAddDate), 0);
    EXPECT_EQ(doc.GetFieldTime(0, kFieldAddDate), 100);
    EXPECT_EQ(doc.GetFieldTime(0, kFieldName), 0);
    EXPECT_EQ(doc.GetFieldText(0, kFieldStatusChecking), "Enable");
    EXPECT_EQ(doc.GetSortedFieldText(0, 0), "");
    doc.KeepExportCopy({doc.Bookmarks()[0]});
    EXPECT_EQ(doc.GetSortedFieldText(0, kFieldURL), "u");
    EXPECT_EQ(doc.GetSortedFieldTime(0, kFieldAddDate), 100);
    EXPECT_EQ(doc.GetMacroText(3, 0), "");
}

TEST(Document, FieldTextFollowsTheTimeFormat) {
    setenv("TZ", "UTC", 1);
    tzset();
    CPreferences prefs;
    CBrindleDoc doc(prefs);
    doc.AddBookmark({.name = "a",
                     .url = "u",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .addDate = 931111509});
    EXPECT_EQ(doc.GetFieldText(0, kFieldAddDate), "1999-07-04 18:05:09");
    prefs.m_strTimeFormat = "D.m.y";
    EXPECT_EQ(doc.GetFieldText(0, kFieldAddDate), "04.07.99");
    unsetenv("TZ");
    tzset();
}

TEST(Document, CopyBookmarksCopiesEveryValue) {
    CBrindleDoc doc;
    doc.AddBookmark({.name = "n",
                     .url = "u",
                     .keywords = "b a",
                     .description = "d",
                     .notes = "t",
                     .schedule = kNoSchedule,
                     .status = "s",
                     .addDate = 1,
                     .lastVisited = 2,
                     .lastModified = 3,
                     .lastChecked = 4});
    CBrindleDoc::BookmarkCopies copies;
    CBrindleDoc::CopyBookmarks(doc.Bookmarks(), copies);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0]->Equals(doc.Bookmarks()[0]));
    EXPECT_EQ(copies[0]->m_tLastVisited, 2);
    EXPECT_THAT(copies[0]->m_arrKeywords, ElementsAre("a", "b"));
    EXPECT_NE(copies[0]->m_strName.data(), doc.Bookmarks()[0].m_strName.data());
}

TEST(Document, PropertiesWithoutChangeKeepTheModifiedFlag) {
    CBrindleDoc doc;
    Add(doc, "a", "u", "", "Gone");
    doc.SetFieldText(0, kFieldSchedule, "Gone"); // a schedule that no longer exists
    doc.SetModifiedFlag(false);
    auto copies = doc.PreparePropertyCopies(0);
    EXPECT_EQ(doc.Bookmarks()[0].m_strSchedule, "<None>");
    doc.ApplyPropertyCopies(copies);
    EXPECT_FALSE(doc.IsModified());

    copies = doc.PreparePropertyCopies(0);
    copies[0]->m_strNotes = "edited";
    doc.ApplyPropertyCopies(copies);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.Bookmarks()[0].m_strNotes, "edited");
}

// OK of the sheet updates the result in place; it must leave what the search again would.
TEST(Document, PropertiesOkLeavesTheResultTheSearchWouldGive) {
    const char* const words[] = {"web", "news", "java", "tools", "sport"};
    struct Case {
        std::int32_t mode;
        const char* query;
        int sortColumn;
        bool ascending;
    };
    const Case cases[] = {{kSearchKeyword, "web", kFieldName, true},
                          {kSearchKeyword, "", kFieldName, false},
                          {kSearchKeyword, "news|java", kFieldKeywords, true},
                          {kSearchString, "b", kFieldName, true},
                          {kSearchString, "", kFieldURL, false}};
    for (const Case& c : cases) {
        for (int edit = 0; edit < 4; ++edit) {
            CBrindleDoc doc;
            for (int i = 0; i < 30; ++i) {
                const std::string name =
                    std::string(1, static_cast<char>('a' + (i * 7) % 26)) + std::to_string(i);
                const std::string keywords =
                    std::string(words[i % 5]) + " " + words[(i * 3 + 1) % 5];
                Add(doc, name.c_str(), ("u" + std::to_string(i % 9)).c_str(), keywords.c_str());
            }
            doc.SetSearchMode(c.mode);
            doc.SetSortOrder(c.sortColumn, c.ascending);
            doc.Search(c.query, false, kSearchName);
            auto copies = doc.PreparePropertyCopies(3);
            switch (edit) {
            case 0: // a rename that moves it and may change whether it matches
                copies[3]->m_strName = "bz";
                break;
            case 1: // keywords that leave the result or join it
                copies[3]->SetKeywords("sport");
                copies[17]->SetKeywords("web news fresh");
                break;
            case 2: // nothing that the search reads
                copies[5]->m_strNotes = "n";
                break;
            default: // more than a few edits: the search runs again
                for (std::size_t i = 0; i < copies.size(); ++i)
                    copies[i]->m_strName += "x";
                break;
            }
            doc.ApplyPropertyCopies(copies);
            const CBrindleDoc::Hits hits = doc.ActiveHits();
            const std::vector<std::string> dictionary = doc.Dictionary();
            doc.RerunLastSearch();
            EXPECT_EQ(hits, doc.ActiveHits()) << c.query << " edit " << edit;
            EXPECT_EQ(dictionary, doc.Dictionary()) << c.query << " edit " << edit;
        }
    }
}

TEST(Document, ListenersHearViewsBeforePanes) {
    CBrindleDoc doc;
    RecordingListener view;
    doc.AddListener(&view);
    Add(doc, "a", "u", "web");
    doc.Search("we", false, 0);
    EXPECT_THAT(view.calls, ElementsAre("rows", "keywords", "pane1:SM:Keyword", "pane4:1 Keywords",
                                        "pane5:1 of 1 bookmarks"));
    view.Clear();
    doc.SetSearchMode(kSearchString);
    doc.Search("zzz", false, kSearchName);
    EXPECT_THAT(view.calls, ElementsAre("rows", "pane1:SM:String", "pane4:1 Keywords",
                                        "pane5:0 of 1 bookmarks"));
    doc.RemoveListener(&view);
    view.Clear();
    doc.Search("", false, 0);
    EXPECT_THAT(view.calls, IsEmpty());
}

TEST(Document, AddToResultInsertsAtTheSortedPlace) {
    CBrindleDoc doc;
    RecordingListener view;
    doc.AddListener(&view);
    Add(doc, "b", "1", "web");
    Add(doc, "d", "2", "web");
    Add(doc, "z", "3", "news");
    doc.Search("web", false, 0);
    view.Clear();
    EXPECT_TRUE(doc.AddBookmarkToResult(
        CBookmark("c", "4", "web mail", "", "", 1, kNoSchedule, kStatusWaiting, 0, 0, 0, 0)));
    EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 3, 1));
    EXPECT_THAT(doc.Dictionary(), ElementsAre("mail", "web"));
    EXPECT_EQ(view.calls.back(), "pane5:3 of 4 bookmarks");
    // One that does not satisfy the search joins the collection only.
    EXPECT_TRUE(doc.AddBookmarkToResult(
        CBookmark("a", "5", "news", "", "", 1, kNoSchedule, kStatusWaiting, 0, 0, 0, 0)));
    EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 3, 1));
    EXPECT_FALSE(doc.AddBookmarkToResult(
        CBookmark("a", "5", "", "", "", 1, kNoSchedule, kStatusWaiting, 0, 0, 0, 0)));
}

TEST(Document, AddToResultAfterEqualKeysInBothDirections) {
    for (int ascending : {1, 0}) {
        CBrindleDoc doc;
        doc.SetSortOrder(doc.SortColumn(), ascending);
        Add(doc, "same", "1");
        Add(doc, "same", "2");
        Add(doc, "other", "3");
        doc.Search("", false, 0);
        doc.AddBookmarkToResult(
            CBookmark("same", "4", "", "", "", 1, kNoSchedule, kStatusWaiting, 0, 0, 0, 0));
        if (ascending)
            EXPECT_THAT(doc.KeywordHits(), ElementsAre(2, 0, 1, 3));
        else
            EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 1, 3, 2));
    }
}

TEST(Document, SelectedUrlMacrosFromTheLastSelectedRow) {
    CBrindleDoc doc;
    RecordingListener view;
    doc.AddListener(&view);
    Add(doc, "First", "http://1/");
    Add(doc, "Second", "http://2/");
    doc.AddSelectedUrlMacros({0, 1});
    ASSERT_EQ(doc.Macros().size(), 2u);
    EXPECT_EQ(doc.GetMacroText(0, 0), "Second");
    EXPECT_EQ(doc.GetMacroText(0, 1), "http://2/");
    EXPECT_EQ(doc.GetMacroText(1, 0), "First");
    EXPECT_EQ(doc.GetMacroKind(1), kMacroUrl);
    EXPECT_EQ(doc.GetMacroHotKey(1), 0u);
    EXPECT_EQ(doc.GetMacroText(1, 4), "?");
    EXPECT_THAT(view.calls, ElementsAre("macros"));
}

TEST(Document, MacroDeleteAndUndo) {
    CBrindleDoc doc;
    doc.AddMacro(kMacroKeywords, "k", "web.tools", 0x00020046);
    doc.AddStringMacro("s", "mail", kSearchName | kSearchURL, true, 0);
    EXPECT_EQ(doc.GetMacroText(0, 2), "web.tools");
    EXPECT_EQ(doc.GetMacroHotKey(0), 0x00020046u);
    EXPECT_EQ(doc.GetMacroKind(1), kMacroString);
    EXPECT_EQ(doc.GetMacroFields(1), 3u);
    EXPECT_TRUE(doc.GetMacroMatchCase(1));
    EXPECT_EQ(doc.GetMacroText(1, 3), "mail");
    doc.DeleteMacro(0);
    doc.DeleteMacro(0);
    EXPECT_THAT(doc.Macros(), IsEmpty());
    doc.SetModifiedFlag(false);
    doc.UndoDeleteMacros();
    ASSERT_EQ(doc.Macros().size(), 2u);
    EXPECT_EQ(doc.Macros()[0].m_strName, "k");
    EXPECT_TRUE(doc.IsModified());
}

TEST(Document, DeleteContentsKeepsSchedulesAndUndo) {
    CBrindleDoc doc;
    Add(doc, "a", "u");
    Add(doc, "b", "v");
    doc.AddMacro(kMacroUrl, "m", "u", 0);
    doc.AddSchedule("s", -1, false);
    doc.DeleteBookmark(0);
    doc.Search("", false, 0);
    doc.DeleteContents();
    EXPECT_THAT(doc.Bookmarks(), IsEmpty());
    EXPECT_THAT(doc.Macros(), IsEmpty());
    EXPECT_THAT(doc.KeywordHits(), IsEmpty());
    EXPECT_EQ(doc.Schedules().size(), 1u);
    EXPECT_EQ(doc.DeletedBookmarks().size(), 1u);
    EXPECT_TRUE(Add(doc, "b", "v")); // the duplicate index forgot the old bookmarks
}

// --- Keyword commands ------------------------------------------------------------------------

class KeywordCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        Add(doc, "a", "1", "web tools");
        Add(doc, "b", "2", "web news");
        Add(doc, "c", "3", "news");
        doc.AddListener(&view);
    }
    CBrindleDoc doc;
    RecordingListener view;
};

TEST_F(KeywordCommands, DeletingTheQueryTermEmptiesTheResultAndUndoBringsItBack) {
    doc.Search("web", false, 0);
    ASSERT_THAT(doc.KeywordHits(), ElementsAre(0, 1));
    doc.SetModifiedFlag(false);
    doc.DeleteKeywordCommand("web");
    EXPECT_THAT(doc.KeywordHits(), IsEmpty());
    EXPECT_THAT(doc.Dictionary(), IsEmpty());
    EXPECT_EQ(doc.Bookmarks()[0].m_strKeywords, "tools");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.Counts().hits, 0u);
    EXPECT_EQ(doc.Counts().bookmarks, 3u);

    doc.SetModifiedFlag(false);
    doc.UndoDeleteKeyword();
    EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 1));
    EXPECT_EQ(doc.Bookmarks()[0].m_strKeywords, "tools web");
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(KeywordCommands, DeletingAnotherKeywordOnlyLeavesTheDictionary) {
    doc.Search("web", false, 0);
    view.Clear();
    doc.DeleteKeywordCommand("tools");
    EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 1));
    EXPECT_THAT(doc.Dictionary(), ElementsAre("news", "web"));
    EXPECT_EQ(view.calls.front(), "keywords");
    EXPECT_EQ(view.calls.back(), "pane5:2 of 3 bookmarks");

    doc.UndoDeleteKeyword();
    EXPECT_THAT(doc.Dictionary(), ElementsAre("news", "tools", "web"));
    EXPECT_EQ(doc.Bookmarks()[0].m_strKeywords, "web tools");
}

TEST_F(KeywordCommands, UndoOfKeywordOutsideTheResultOnlyRefreshesCounts) {
    doc.Search("tools", false, 0);
    doc.DeleteKeywordCommand("news");
    EXPECT_THAT(doc.Dictionary(), ElementsAre("tools", "web"));
    doc.UndoDeleteKeyword();
    EXPECT_THAT(doc.Dictionary(), ElementsAre("tools", "web"));
    EXPECT_EQ(doc.Bookmarks()[2].m_strKeywords, "news");
}

TEST_F(KeywordCommands, RenameEverywhere) {
    doc.Search("", false, 0);
    doc.SetModifiedFlag(false);
    doc.RenameKeywordCommand("news", "web");
    EXPECT_EQ(doc.Bookmarks()[1].m_strKeywords, "web");
    EXPECT_EQ(doc.Bookmarks()[2].m_strKeywords, "web");
    EXPECT_THAT(doc.Dictionary(), ElementsAre("tools", "web"));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(KeywordCommands, RenamingAQueryTermRerunsTheSearch) {
    doc.Search("news", false, 0);
    doc.RenameKeywordCommand("news", "press");
    EXPECT_THAT(doc.KeywordHits(), IsEmpty());
    doc.Search("web", false, 0);
    doc.RenameKeywordCommand("tools", "web"); // the new name is the term
    EXPECT_THAT(doc.KeywordHits(), ElementsAre(0, 1));
    EXPECT_EQ(doc.Bookmarks()[0].m_strKeywords, "web");
}

TEST_F(KeywordCommands, RenameInOneBookmarkReplacesWholeWordsOnly) {
    Add(doc, "d", "4", "web webcam news");
    doc.RenameKeywordInBookmark(3, "web", "net");
    EXPECT_EQ(doc.Bookmarks()[3].m_strKeywords, "net webcam news");
    doc.RenameKeywordInBookmark(3, "news", "net");
    EXPECT_EQ(doc.Bookmarks()[3].m_strKeywords, "net webcam");
    EXPECT_THAT(doc.Bookmarks().KeywordList(3), ElementsAre("net", "webcam"));
}

TEST_F(KeywordCommands, CollectAllKeywordsInOrderOfFirstAppearance) {
    EXPECT_EQ(doc.CollectAllKeywords(), "web\ntools\nnews");
    CBrindleDoc empty;
    EXPECT_EQ(empty.CollectAllKeywords(), "");
}

TEST_F(KeywordCommands, DictionaryHelpers) {
    doc.Search("", false, 0);
    view.Clear();
    doc.AddDictionaryKeyword("alpha");
    doc.AddDictionaryKeyword("");
    doc.AddDictionaryKeyword("web");
    EXPECT_THAT(doc.Dictionary(), ElementsAre("alpha", "news", "tools", "web"));
    EXPECT_THAT(view.calls, ElementsAre("keywords", "keywords", "keywords"));
    doc.ForgetKeywordResult();
    doc.SetFieldText(0, kFieldKeywords, "b a");
    doc.SetFieldText(1, kFieldKeywords, "a c");
    doc.AddBookmarkKeywords(0);
    doc.AddBookmarkKeywords(1);
    doc.AddBookmarkKeywords(9);
    EXPECT_THAT(doc.Dictionary(), ElementsAre("a", "b", "c"));
}

TEST(SearchOptions, TogglesFlipOneSettingEach) {
    CBrindleDoc doc;
    // A new document searches the texts people type: name, URL, keywords, description, notes.
    EXPECT_EQ(doc.StringFields(), 0x1F);
    doc.ToggleStringField(0);
    doc.ToggleStringField(6);
    doc.ToggleStringField(7); // no such field
    EXPECT_EQ(doc.StringFields(), 0x5E);
    doc.ToggleStringField(0);
    EXPECT_EQ(doc.StringFields(), 0x5F);
    // An empty stored mask searches all seven fields; a toggle starts from those.
    doc.SetStringFields(0);
    EXPECT_EQ(doc.EffectiveStringFields(), kSearchAllFields);
    doc.ToggleStringField(6);
    EXPECT_EQ(doc.StringFields(), 0x3F);
    doc.TogglePartialMatch();
    doc.ToggleMatchCase();
    EXPECT_EQ(doc.PartialMatch(), 0);
    EXPECT_EQ(doc.MatchCase(), 1);
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
