// SPDX-License-Identifier: GPL-3.0-or-later
// The view state the document file stores, and which of its changes mark the document modified.

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

class ViewState : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"alpha", "beta", "gamma"})
            doc.AddBookmark({.name = name,
                             .url = std::string("http://") + name + ".example/",
                             .keywords = "web",
                             .statusChecking = 1,
                             .schedule = kNoSchedule,
                             .status = kStatusWaiting});
        doc.SetModifiedFlag(false);
    }
    CBrindleDoc doc;
};

TEST_F(ViewState, ColumnsSortAndModeAreNoEditOfTheDocument) {
    doc.SetColumns(0x0083);
    EXPECT_EQ(doc.Columns(), 0x0083);
    doc.SetSortOrder(kFieldURL, false);
    EXPECT_EQ(doc.SortColumn(), kFieldURL);
    EXPECT_EQ(doc.SortAscending(), 0);
    doc.SetSortOrder(kFieldName, true);
    EXPECT_EQ(doc.SortAscending(), 1);
    doc.SetSearchMode(kSearchString);
    EXPECT_EQ(doc.SearchMode(), kSearchString);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(ViewState, TheSearchOptionDialogsChoiceMarksTheDocumentModified) {
    const CBrindleDoc::SearchOptions options{
        .partialMatch = false, .matchCase = true, .fields = kSearchName | kSearchURL};
    doc.SetSearchOptions(options);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.PartialMatch(), 0);
    EXPECT_EQ(doc.MatchCase(), 1);
    EXPECT_EQ(doc.StringFields(), kSearchName | kSearchURL);
    EXPECT_EQ(doc.CurrentSearchOptions(), options);
    // Even the same options again: the dialog was confirmed.
    doc.SetModifiedFlag(false);
    doc.SetSearchOptions(options);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ViewState, SettersNeverClearAnEarlierChange) {
    doc.SetModifiedFlag(true);
    doc.SetColumns(0x0001);
    doc.SetSortOrder(kFieldAddDate, true);
    doc.SetSearchMode(kSearchString);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ViewState, SearchOptionsAndSortOrderDoNotSearchAgain) {
    doc.SetSearchMode(kSearchString);
    doc.Search("alpha", false, kSearchName);
    ASSERT_THAT(doc.StringHits(), ElementsAre(0));
    // URL and names would find all three; the list stays until the next search.
    doc.SetSearchOptions({.partialMatch = true, .matchCase = false, .fields = kSearchAllFields});
    doc.SetSortOrder(kFieldName, false);
    EXPECT_THAT(doc.StringHits(), ElementsAre(0));
    doc.Search("example", false, doc.StringFields());
    EXPECT_THAT(doc.StringHits(), ElementsAre(2, 1, 0)); // by name, descending
}

TEST_F(ViewState, TheFileKeepsWhatTheSettersSet) {
    doc.SetColumns(0x0105);
    doc.SetSortOrder(kFieldLastChecked, false);
    doc.SetSearchMode(kSearchString);
    doc.SetSearchOptions({.partialMatch = false, .matchCase = true, .fields = 0x44});
    CBrindleDoc read;
    ASSERT_TRUE(brindle::ReadDocumentBytes(read, brindle::DocumentToBytes(doc)));
    EXPECT_EQ(read.Columns(), 0x0105);
    EXPECT_EQ(read.SortColumn(), kFieldLastChecked);
    EXPECT_EQ(read.SortAscending(), 0);
    EXPECT_EQ(read.SearchMode(), kSearchString);
    EXPECT_EQ(read.CurrentSearchOptions(), doc.CurrentSearchOptions());
}

} // namespace
