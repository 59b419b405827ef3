// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a user would, offscreen.

#include "support/RecordingListener.h"
#include "support/WindowTest.h"

#include "app/BrindleApp.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/keywords/KeywordView.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

class MainFrameTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        doc().AddListener(&recorder);
    }
    void TearDown() override {
        doc().RemoveListener(&recorder);
        WindowTest::TearDown();
    }
    void AddSample() {
        AddBookmarks({{"Sports daily", "http://sport.example/", "sport news"},
                      {"Java guide", "http://java.example/", "java programming"},
                      {"Web tools", "http://tools.example/", "web tools"},
                      {"Apple", "http://apple.example/", "web news"}});
    }
    QLineEdit* box() { return frame->Search()->Box(); }
    int Searches() {
        int n = 0;
        for (const auto& c : recorder.calls)
            n += c == "rows";
        recorder.Clear();
        return n;
    }

    RecordingListener recorder;
};

TEST_F(MainFrameTest, TitleAndStartPanes) {
    EXPECT_EQ(frame->windowTitle(), "noname - Corvane Brindle");
    EXPECT_EQ(frame->Panes()->Text(0), "Ready");
    EXPECT_EQ(frame->Panes()->Text(2), "ONLINE");
    EXPECT_EQ(frame->Panes()->Text(3), "SC:CHECK OFF");
}

TEST_F(MainFrameTest, MenuBarOrderTextsAndKeys) {
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Tool", "&View", "&Help"}));
    QStringList edit;
    for (QAction* a : frame->menuBar()->actions()[1]->menu()->actions())
        edit << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(edit, (QStringList{"&Undo...", "-", "Cu&t...", "&Copy...", "&Paste...", "Delete...",
                                 "Select All", "-", "&Fast Add", "&Add", "-", "&Marked as visited",
                                 "P&roperties"}));
    QAction* fetch = frame->Action(cmd::Fetch);
    EXPECT_EQ(fetch->text(), "&Fetch");
    EXPECT_EQ(fetch->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(frame->Action(cmd::Undo)->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z),
                                   QKeySequence(Qt::ALT | Qt::Key_Backspace)}));
    EXPECT_EQ(frame->Action(cmd::Import)->statusTip(), "Import bookmarks from a chosen file");
    EXPECT_EQ(frame->Action(cmd::CopyKeywords)->data().toInt(), 32785);
}

TEST_F(MainFrameTest, TypingSearchesOnEveryKeystroke) {
    AddSample();
    recorder.Clear();
    QTest::keyClicks(box(), "web");
    EXPECT_EQ(Searches(), 3);
    EXPECT_THAT(Rows(), ElementsAre("Apple", "Web tools"));
    EXPECT_EQ(frame->Panes()->Text(5), "2 of 4 bookmarks");
    EXPECT_EQ(frame->Panes()->Text(4), "3 Keywords");
    EXPECT_EQ(frame->Workspace()->Keywords()->Model()->rowCount(), 3);
}

TEST_F(MainFrameTest, ModesKeepTheirOwnTextAndStringModeSearchesOnce) {
    AddSample();
    QTest::keyClicks(box(), "web");
    recorder.Clear();
    frame->Action(cmd::StringSearch)->trigger();
    EXPECT_EQ(Searches(), 1);
    EXPECT_EQ(doc().SearchMode(), kSearchString);
    EXPECT_EQ(box()->text(), "");
    EXPECT_EQ(frame->Panes()->Text(1), "SM:String");
    EXPECT_EQ(frame->Workspace()->KeywordPaneHeight(), 0);
    doc().SetStringFields(kSearchName);
    QTest::keyClicks(box(), "java");
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
    frame->Action(cmd::KeywordSearch)->trigger();
    EXPECT_EQ(box()->text(), "web");
    EXPECT_EQ(doc().SearchMode(), kSearchKeyword);
    EXPECT_THAT(Rows(), ElementsAre("Apple", "Web tools"));
    EXPECT_GT(frame->Workspace()->KeywordPaneHeight(), 0);
    frame->Action(cmd::StringSearch)->trigger();
    EXPECT_EQ(box()->text(), "java");
    EXPECT_TRUE(frame->Action(cmd::StringSearch)->isChecked());
    EXPECT_FALSE(frame->Action(cmd::KeywordSearch)->isChecked());
}

TEST_F(MainFrameTest, AppendAddsTheSeparatorOnce) {
    box()->setText("sport");
    frame->Search()->Append("news");
    EXPECT_EQ(box()->text(), "sport.news");
    box()->setText("sport.");
    frame->Search()->Append("news");
    EXPECT_EQ(box()->text(), "sport.news");
    box()->setText("");
    frame->Search()->Append("news");
    EXPECT_EQ(box()->text(), "news");
}

TEST_F(MainFrameTest, ClearSearchOnBlanksDoesNothing) {
    box()->setText("   ");
    recorder.Clear();
    frame->Action(cmd::ClearSearch)->trigger();
    EXPECT_EQ(box()->text(), "   ");
    EXPECT_EQ(Searches(), 0);
    box()->setText(" web ");
    recorder.Clear();
    frame->Action(cmd::ClearSearch)->trigger();
    EXPECT_EQ(box()->text(), "");
    EXPECT_EQ(Searches(), 1);
}

TEST_F(MainFrameTest, ClickingAKeywordNarrowsTheSearch) {
    AddSample();
    QTest::keyClicks(box(), "news");
    CKeyWordView* keywords = frame->Workspace()->Keywords();
    frame->show();
    keywords->show();
    QApplication::processEvents();
    // Keywords of the result: news, sport, web.
    ASSERT_EQ(keywords->KeywordAt(2), "web");
    const QRect rect = keywords->visualRect(keywords->Model()->index(2, 0));
    QTest::mouseClick(keywords->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(box()->text(), "news.web.");
    EXPECT_THAT(Rows(), ElementsAre("Apple"));
}

TEST_F(MainFrameTest, KeywordMacroAndStringMacro) {
    AddSample();
    frame->Search()->RunStringMacro("  apple ", {.fields = kSearchName, .matchCase = true});
    EXPECT_EQ(doc().SearchMode(), kSearchString);
    EXPECT_THAT(Rows(), ::testing::IsEmpty()); // match case: "apple" is not "Apple"
    EXPECT_EQ(doc().LastMatchCase(), 1);
    frame->Search()->RunStringMacro("apple", {.fields = kSearchName, .matchCase = false});
    EXPECT_THAT(Rows(), ElementsAre("Apple"));
    frame->Search()->RunKeywordMacro(" java ");
    EXPECT_EQ(doc().SearchMode(), kSearchKeyword);
    EXPECT_EQ(box()->text(), "java");
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
}

TEST_F(MainFrameTest, HeaderClickSortsAndFlips) {
    AddSample();
    doc().Search("", false, 0);
    CBookMarkView* view = frame->Workspace()->Bookmarks();
    const int urlColumn = view->Model()->ColumnOfField(kFieldURL);
    view->SortByColumn(urlColumn);
    EXPECT_EQ(doc().SortColumn(), kFieldURL);
    EXPECT_EQ(doc().SortAscending(), 1);
    EXPECT_THAT(Rows(), ElementsAre("Apple", "Java guide", "Sports daily", "Web tools"));
    view->SortByColumn(urlColumn);
    EXPECT_EQ(doc().SortAscending(), 0);
    EXPECT_THAT(Rows(), ElementsAre("Web tools", "Sports daily", "Java guide", "Apple"));
    view->SortByColumn(0); // another column keeps the direction
    EXPECT_EQ(doc().SortColumn(), kFieldName);
    EXPECT_EQ(doc().SortAscending(), 0);
    EXPECT_FALSE(view->Model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());
    EXPECT_TRUE(view->Model()->headerData(urlColumn, Qt::Horizontal, Qt::DecorationRole).isNull());
}

TEST_F(MainFrameTest, ColumnsFollowTheMask) {
    doc().SetColumns((1 << kFieldName) | (1 << kFieldStatusChecking) | (1 << kFieldAddDate));
    frame->Workspace()->Rebuild();
    BookmarkListModel* model = frame->Workspace()->Bookmarks()->Model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Status Checking");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "Add Date");
    EXPECT_EQ(model->ColumnOfField(kFieldURL), -1);
    // The sort field hidden: the first column carries the sort image.
    doc().SetSortOrder(kFieldURL, doc().SortAscending() != 0);
    EXPECT_EQ(model->SortColumn(), 0);
}

TEST_F(MainFrameTest, TitlesAndDatesFitTheirColumnsAndALoneColumnFillsTheWidth) {
    doc().AddBookmark({.name = "Dated",
                       .url = "http://dated.example/",
                       .statusChecking = 1,
                       .schedule = kNoSchedule,
                       .status = kStatusWaiting,
                       .addDate = 1861657138,
                       .lastVisited = 1861657138,
                       .lastModified = 1861657138,
                       .lastChecked = 1861657138});
    doc().SetColumns(0x0FFF);
    doc().Search("", false, 0);
    frame->Workspace()->Rebuild();
    frame->resize(900, 600);
    frame->show();
    CBookMarkView* view = frame->Workspace()->Bookmarks();
    BookmarkListModel* model = view->Model();
    ASSERT_EQ(model->rowCount(), 1);
    const QFontMetrics header(view->horizontalHeader()->font());
    const QFontMetrics cells(view->font());
    for (int k = 0; k + 1 < model->columnCount(); ++k) { // the last one stretches
        const QString title = model->headerData(k, Qt::Horizontal).toString();
        EXPECT_GT(view->columnWidth(k), header.horizontalAdvance(title)) << title.toStdString();
        const QString cell = model->index(0, k).data().toString();
        EXPECT_GT(view->columnWidth(k), cells.horizontalAdvance(cell)) << title.toStdString();
    }
    doc().SetColumns(1 << kFieldName);
    frame->Workspace()->Rebuild();
    QApplication::processEvents();
    EXPECT_EQ(view->columnWidth(0), view->viewport()->width());
}

TEST_F(MainFrameTest, StatusIconsIgnoreLetterCase) {
    doc().AddBookmark({.name = "a",
                       .url = "u",
                       .statusChecking = 1,
                       .schedule = kNoSchedule,
                       .status = "No change"});
    doc().AddBookmark({.name = "b",
                       .url = "v",
                       .statusChecking = 1,
                       .schedule = kNoSchedule,
                       .status = "Checking Off"});
    doc().Search("", false, 0);
    BookmarkListModel* model = frame->Workspace()->Bookmarks()->Model();
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::DecorationRole).isNull());
    // "Checking Off" is "Checking off" apart from case: it shows that status's icon too.
    EXPECT_FALSE(model->data(model->index(1, 0), Qt::DecorationRole).isNull());
    EXPECT_TRUE(model->data(model->index(0, 1), Qt::DecorationRole).isNull());
    doc().SetFieldText(0, kFieldStatus, "Something else");
    EXPECT_TRUE(model->data(model->index(0, 0), Qt::DecorationRole).isNull());
}

TEST_F(MainFrameTest, ModelsPassTheModelTester) {
    AddSample();
    QAbstractItemModelTester bookmarks(frame->Workspace()->Bookmarks()->Model(),
                                       QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester keywords(frame->Workspace()->Keywords()->Model(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTest::keyClicks(box(), "web.n");
    doc().SetColumns(0x0003);
    frame->Workspace()->Rebuild();
    box()->clear();
    EXPECT_EQ(frame->Workspace()->Bookmarks()->Model()->rowCount(), 4);
}

TEST_F(MainFrameTest, MacroPaneToggleReturnsTo150) {
    frame->resize(1000, 700);
    frame->show();
    QApplication::processEvents();
    EXPECT_GT(frame->Workspace()->MacroPaneWidth(), 0);
    frame->Action(cmd::ViewMacro)->trigger();
    EXPECT_EQ(frame->Workspace()->MacroPaneWidth(), 0);
    EXPECT_FALSE(frame->Action(cmd::ViewMacro)->isChecked());
    frame->Action(cmd::ViewMacro)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(frame->Workspace()->MacroPaneWidth(), 150);
    EXPECT_TRUE(frame->Action(cmd::ViewMacro)->isChecked());
}

TEST_F(MainFrameTest, CopyKeywordsAndCurrentSearchMacro) {
    frame->Commands().UpdateStates();
    EXPECT_FALSE(frame->Action(cmd::CopyKeywords)->isEnabled());
    AddSample();
    frame->Commands().UpdateStates();
    ASSERT_TRUE(frame->Action(cmd::CopyKeywords)->isEnabled());
    frame->Action(cmd::CopyKeywords)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "sport\nnews\njava\nprogramming\nweb\ntools");

    EXPECT_FALSE(frame->Action(cmd::MacroCurrentSearch)->isEnabled());
    QTest::keyClicks(box(), "web");
    EXPECT_TRUE(frame->Action(cmd::MacroCurrentSearch)->isEnabled());
    frame->Action(cmd::MacroCurrentSearch)->trigger();
    ASSERT_EQ(doc().Macros().size(), 1u);
    EXPECT_EQ(doc().Macros()[0].m_nKind, kMacroKeywords);
    EXPECT_EQ(doc().Macros()[0].m_strKeywords, "web");
}

TEST_F(MainFrameTest, SearchOptionMenuFollowsTheMode) {
    frame->Search()->PrepareOptionMenu();
    QStringList items;
    for (QAction* a : frame->Search()->OptionMenu()->actions())
        items << a->text();
    EXPECT_EQ(items, QStringList{"Partial Match"});
    frame->Search()->OptionMenu()->actions()[0]->trigger();
    EXPECT_EQ(doc().PartialMatch(), 0);
    frame->Action(cmd::StringSearch)->trigger();
    frame->Search()->PrepareOptionMenu();
    items.clear();
    for (QAction* a : frame->Search()->OptionMenu()->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Match Case", "-", "Name", "URL", "Keywords", "Description",
                                  "Notes", "Schedule", "Status"}));
    frame->Search()->OptionMenu()->actions()[4]->trigger(); // "Keywords": bit 2
    EXPECT_EQ(doc().StringFields(), kSearchNewDocumentFields & ~kSearchKeywords);
}

TEST_F(MainFrameTest, ClosingAModifiedDocumentAsksToSave) {
    AddSample();
    doc().SetModifiedFlag(true);
    frame->show();
    brindle::MessageBox::QueueAnswer(QMessageBox::Cancel);
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
    EXPECT_EQ(brindle::MessageBox::History()[0].text, "Save changes to noname?");
    brindle::MessageBox::QueueAnswer(QMessageBox::No);
    EXPECT_TRUE(frame->close());
}

} // namespace
