// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule list's rules: merging on equal names, the single default, deleting, and setting
// status checking on many bookmarks.

#include "store/ScheduleRules.h"
#include "status/ScheduleCodec.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace brindle;
using ::testing::ElementsAre;

namespace {

class ScheduleRulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NewSchedule(doc, {"A", EncodeScheduleInterval(ScheduleUnit::Days, 3), false});
        NewSchedule(doc, {"B", EncodeScheduleInterval(ScheduleUnit::Weeks, 2), true});
        NewSchedule(doc, {"C", EncodeScheduleInterval(ScheduleUnit::Hours, 36), false});
        doc.SetModifiedFlag(false);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const CSchedule& s : doc.Schedules())
            names.push_back(s.m_strName);
        return names;
    }
    std::vector<int> Defaults() const {
        std::vector<int> flags;
        for (const CSchedule& s : doc.Schedules())
            flags.push_back(s.m_bDefault);
        return flags;
    }

    CBrindleDoc doc;
};

TEST_F(ScheduleRulesTest, NewAppendsAndANewDefaultClearsTheOldOne) {
    EXPECT_EQ(NewSchedule(doc, {"D", EncodeScheduleInterval(ScheduleUnit::Years, 1), true}), 3u);
    EXPECT_THAT(Names(), ElementsAre("A", "B", "C", "D"));
    EXPECT_THAT(Defaults(), ElementsAre(0, 0, 0, 1));
    EXPECT_EQ(doc.GetDefaultScheduleName(), "D");
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ScheduleRulesTest, NewWithAnExistingNameMergesIntoIt) {
    const BrxTime months13 = EncodeScheduleInterval(ScheduleUnit::Months, 13);
    EXPECT_EQ(NewSchedule(doc, {"A", months13, true}), 0u);
    EXPECT_THAT(Names(), ElementsAre("A", "B", "C"));
    EXPECT_THAT(Defaults(), ElementsAre(1, 0, 0));
    EXPECT_EQ(doc.Schedules()[0].m_tInterval, months13);
    EXPECT_EQ(ScheduleListDetail(doc.Schedules()[0]), "default   1 Years 1 Months ");
}

TEST_F(ScheduleRulesTest, RenamingOntoAnotherNameRemovesTheOther) {
    // C (after B) renamed to A (before it): A goes, C's index moves up by one.
    const BrxTime days5 = EncodeScheduleInterval(ScheduleUnit::Days, 5);
    EXPECT_EQ(EditSchedule(doc, 2, {"A", days5, false}), 1u);
    EXPECT_THAT(Names(), ElementsAre("B", "A"));
    EXPECT_EQ(doc.Schedules()[1].m_tInterval, days5);
    EXPECT_TRUE(doc.IsModified());

    // A renamed to B (before it in the list now): B goes, the default with it.
    EXPECT_EQ(EditSchedule(doc, 1, {"B", days5, false}), 0u);
    EXPECT_THAT(Names(), ElementsAre("B"));
    EXPECT_EQ(doc.GetDefaultScheduleName(), "");
}

TEST_F(ScheduleRulesTest, EditKeepingItsOwnNameRemovesNothing) {
    EXPECT_EQ(EditSchedule(doc, 1, {"B", EncodeScheduleInterval(ScheduleUnit::Days, 1), true}), 1u);
    EXPECT_THAT(Names(), ElementsAre("A", "B", "C"));
    EXPECT_THAT(Defaults(), ElementsAre(0, 1, 0));
}

TEST_F(ScheduleRulesTest, ASecondDefaultClearsTheFirst) {
    EditSchedule(doc, 0, {"A", doc.Schedules()[0].m_tInterval, true});
    EXPECT_THAT(Defaults(), ElementsAre(1, 0, 0));
    // Taking the flag away leaves no default.
    EditSchedule(doc, 0, {"A", doc.Schedules()[0].m_tInterval, false});
    EXPECT_THAT(Defaults(), ElementsAre(0, 0, 0));
}

TEST_F(ScheduleRulesTest, DeleteLeavesTheNameInBookmarks) {
    doc.AddBookmark({.name = "x", .url = "http://x/", .statusChecking = 1, .schedule = "B"});
    DeleteSchedule(doc, 1);
    EXPECT_THAT(Names(), ElementsAre("A", "C"));
    EXPECT_EQ(doc.GetFieldText(0, kFieldSchedule), "B");
    EXPECT_TRUE(doc.IsModified());
    DeleteSchedule(doc, 7); // out of range: nothing
    EXPECT_EQ(doc.Schedules().size(), 2u);
}

TEST_F(ScheduleRulesTest, ChoicesStartWithNone) {
    EXPECT_THAT(ScheduleChoices(doc), ElementsAre("<None>", "A", "B", "C"));
}

TEST_F(ScheduleRulesTest, SetStatusCheckingWritesEverySelectedBookmarkAndMarksModified) {
    for (const char* name : {"one", "two", "three"})
        doc.AddBookmark({.name = name,
                         .url = "http://example/",
                         .statusChecking = 1,
                         .schedule = "<None>",
                         .status = "Changed"});
    doc.SetModifiedFlag(false);
    SetStatusChecking(doc, {0, 2, 99}, "C", false);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFieldText(0, kFieldSchedule), "C");
    EXPECT_EQ(doc.GetFieldText(0, kFieldStatus), "Checking off");
    EXPECT_EQ(doc.Bookmarks()[0].m_wStatusChecking, 0);
    EXPECT_EQ(doc.GetFieldText(1, kFieldStatus), "Changed"); // not selected
    EXPECT_EQ(doc.GetFieldText(2, kFieldSchedule), "C");

    doc.SetModifiedFlag(false);
    SetStatusChecking(doc, {2}, "<None>", true);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFieldText(2, kFieldStatus), "Waiting");
    EXPECT_EQ(doc.GetFieldText(2, kFieldSchedule), "<None>");
    EXPECT_EQ(doc.Bookmarks()[2].m_wStatusChecking, 1);
}

TEST_F(ScheduleRulesTest, SchedulesSurviveTheDocumentFile) {
    EditSchedule(doc, 0, {"Renamed", EncodeScheduleInterval(ScheduleUnit::Months, 13), true});
    CBrindleDoc copy;
    ASSERT_TRUE(ReadDocumentBytes(copy, DocumentToBytes(doc)).ok);
    ASSERT_EQ(copy.Schedules().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copy.Schedules()[i].m_strName, doc.Schedules()[i].m_strName);
        EXPECT_EQ(copy.Schedules()[i].m_tInterval, doc.Schedules()[i].m_tInterval);
        EXPECT_EQ(copy.Schedules()[i].m_bDefault, doc.Schedules()[i].m_bDefault);
    }
    EXPECT_EQ(copy.GetDefaultScheduleName(), "Renamed");
}

} // namespace
