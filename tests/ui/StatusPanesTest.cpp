// SPDX-License-Identifier: GPL-3.0-or-later
// The status panes: start texts, the texts made from the document's counts, and pane sizing.

#include "ui/window/StatusPanes.h"
#include "store/BrindleDoc.h"

#include <QLabel>
#include <QStatusBar>

#include <gtest/gtest.h>

using brindle::StatusPanes;

namespace {

void Add(CBrindleDoc& doc, const char* name, const char* keywords) {
    doc.AddBookmark({.name = name,
                     .url = name,
                     .keywords = keywords,
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting});
}

TEST(StatusPanes, TextsOfModeAndCounts) {
    EXPECT_EQ(StatusPanes::SearchModeText(kSearchKeyword), "SM:Keyword");
    EXPECT_EQ(StatusPanes::SearchModeText(kSearchString), "SM:String");
    EXPECT_EQ(StatusPanes::SearchModeText(7), "SM:String"); // any mode but keyword search
    EXPECT_EQ(StatusPanes::KeywordCountText(12), "12 Keywords");
    EXPECT_EQ(StatusPanes::ResultCountText(7, 250), "7 of 250 bookmarks");
    EXPECT_EQ(StatusPanes::ResultCountText(1000000, 1000000), "1000000 of 1000000 bookmarks");
}

TEST(StatusPanes, StartTextsThenTheDocumentsCounts) {
    CBrindleDoc doc;
    QStatusBar bar;
    StatusPanes panes(doc, &bar);
    const QStringList start{"Ready",        "SM:Keyword", "ONLINE",
                            "SC:CHECK OFF", "0 Keywords", "0 of 0 Bookmarks"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(panes.Text(i), start[i]) << i;
    Add(doc, "a", "web news");
    Add(doc, "b", "web");
    Add(doc, "c", "sport");
    doc.Search("web", false, 0);
    EXPECT_EQ(panes.Text(brindle::kPaneSearchMode), "SM:Keyword");
    EXPECT_EQ(panes.Text(brindle::kPaneKeywordCount), "2 Keywords");
    EXPECT_EQ(panes.Text(brindle::kPaneResultCount), "2 of 3 bookmarks");
    doc.SetSearchMode(kSearchString);
    doc.Search("c", true, kSearchName);
    EXPECT_EQ(panes.Text(brindle::kPaneSearchMode), "SM:String");
    EXPECT_EQ(panes.Text(brindle::kPaneResultCount), "1 of 3 bookmarks");
    EXPECT_EQ(panes.Text(brindle::kPanePrompt), "Ready"); // the document leaves it alone
    EXPECT_EQ(panes.Text(6), QString());
}

TEST(StatusPanes, PanesFitTheirTextButThePromptStretches) {
    CBrindleDoc doc;
    QStatusBar bar;
    StatusPanes panes(doc, &bar);
    auto* checker = bar.findChild<QLabel*>(QStringLiteral("pane3"));
    auto* prompt = bar.findChild<QLabel*>(QStringLiteral("pane0"));
    ASSERT_TRUE(checker && prompt);
    const int narrow = checker->minimumWidth();
    panes.SetText(brindle::kPaneChecker, QStringLiteral("SC:CHECKING and a good deal more"));
    EXPECT_GT(checker->minimumWidth(), narrow);
    EXPECT_EQ(checker->minimumWidth(), checker->maximumWidth());
    panes.SetText(brindle::kPanePrompt, QStringLiteral("A long prompt for the stretching pane"));
    EXPECT_NE(prompt->minimumWidth(), prompt->maximumWidth());
}

} // namespace
