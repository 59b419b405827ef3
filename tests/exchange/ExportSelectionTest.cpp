// SPDX-License-Identifier: GPL-3.0-or-later
// Which bookmarks an export writes, and their order.

#include "exchange/ExportSelection.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace brindle;

namespace {

// Bookmarks named n0..n5 with keyword text as the sort key and varied other fields.
void Fill(CBrindleDoc& doc) {
    struct Row {
        const char* keywords;
        std::uint16_t checking;
        BrxTime added;
    };
    const Row rows[] = {{"beta", 1, 300}, {"alpha", 0, 100}, {"beta", 1, 100},
                        {"Zulu", 0, 200}, {"alpha", 1, 300}, {"beta", 0, 100}};
    int i = 0;
    for (const Row& r : rows) {
        // Appended, not "n" + std::to_string(...): GCC 12 warns (-Wrestrict) on that in Release.
        const std::string name = std::string("n").append(std::to_string(i++));
        doc.AddBookmark({.name = name,
                         .url = "http://" + name + "/",
                         .keywords = r.keywords,
                         .statusChecking = r.checking,
                         .schedule = kNoSchedule,
                         .status = kStatusWaiting,
                         .addDate = r.added});
    }
}

std::vector<std::string> Names(const std::vector<BookmarkRef>& list) {
    std::vector<std::string> names;
    for (const BookmarkRef& b : list)
        names.emplace_back(b.m_strName);
    return names;
}

std::vector<std::string> Order(CBrindleDoc& doc, const char* field, bool ascending) {
    ExportOptions o;
    o.sortField = field;
    o.ascending = ascending;
    return Names(SelectForExport(doc, o));
}

using Names_ = std::vector<std::string>;

} // namespace

TEST(SelectForExport, AllSortsByFieldWithEqualKeysInCollectionOrder) {
    CBrindleDoc doc;
    Fill(doc);
    // Byte order: capitals before small letters; equal keys keep collection order.
    EXPECT_EQ(Order(doc, "Keywords", true), (Names_{"n3", "n1", "n4", "n0", "n2", "n5"}));
    // Descending places each bookmark after those it equals, too.
    EXPECT_EQ(Order(doc, "Keywords", false), (Names_{"n0", "n2", "n5", "n1", "n4", "n3"}));
    // Dates compare as numbers.
    EXPECT_EQ(Order(doc, "Add date", true), (Names_{"n1", "n2", "n5", "n3", "n0", "n4"}));
    EXPECT_EQ(Order(doc, "Add date", false), (Names_{"n0", "n4", "n3", "n1", "n2", "n5"}));
    // "Disable" sorts before "Enable".
    EXPECT_EQ(Order(doc, "Status checking", true), (Names_{"n1", "n3", "n5", "n0", "n2", "n4"}));
    // No sort field, or one the dialog does not offer: collection order.
    EXPECT_EQ(Order(doc, "", true), (Names_{"n0", "n1", "n2", "n3", "n4", "n5"}));
    EXPECT_EQ(Order(doc, "Bogus", false), (Names_{"n0", "n1", "n2", "n3", "n4", "n5"}));
    // The result is the document's export copy, rebuilt on every call.
    EXPECT_EQ(doc.ExportCopy().size(), 6u);
    EXPECT_EQ(doc.GetSortedFieldText(0, kFieldName), "n0");
}

TEST(SelectForExport, SelectedTakesRowsOfTheListTopDownWithoutSorting) {
    CBrindleDoc doc;
    Fill(doc);
    // The list shows the bookmarks in reverse order.
    doc.SetSearchMode(kSearchKeyword);
    doc.SetSortOrder(kFieldName, false);
    doc.Search("", false, 0);
    ASSERT_EQ(doc.ActiveHits(), (CBrindleDoc::Hits{5, 4, 3, 2, 1, 0}));
    ExportOptions o;
    o.selectedOnly = true;
    o.sortField = "Name";
    o.selectedRows = {3, 0, 5, 3, 99};
    EXPECT_EQ(Names(SelectForExport(doc, o)), (Names_{"n5", "n2", "n0"}));
    // No selected row: every row of the list, from the top.
    o.selectedRows.clear();
    EXPECT_EQ(Names(SelectForExport(doc, o)), (Names_{"n5", "n4", "n3", "n2", "n1", "n0"}));
    // Only the rows the list shows.
    doc.SetSearchMode(kSearchString);
    doc.Search("n2", false, kSearchName);
    ASSERT_EQ(doc.ActiveHits(), (CBrindleDoc::Hits{2}));
    EXPECT_EQ(Names(SelectForExport(doc, o)), (Names_{"n2"}));
}

TEST(SelectForExport, SortFieldNamesSelectColumnsInOrder) {
    EXPECT_EQ(SortFieldColumn("Name"), 0);
    EXPECT_EQ(SortFieldColumn("Status checking"), 5);
    EXPECT_EQ(SortFieldColumn("Add date"), 8);
    EXPECT_EQ(SortFieldColumn("Last checked"), 11);
    EXPECT_EQ(SortFieldColumn("name"), -1);
    EXPECT_EQ(SortFieldColumn(""), -1);
}
