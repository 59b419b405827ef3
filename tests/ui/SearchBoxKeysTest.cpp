// SPDX-License-Identifier: GPL-3.0-or-later
// The search box in the real main window: string search out of the box, every command key of the
// table from the box, and menu items that show the key that works.

#include "support/WindowTest.h"

#include "app/BrindleApp.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using brindle::CommandTable;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class SearchBoxKeysTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        AddBookmarks({{"Sports daily", "http://sport.example/", "sport news"},
                      {"Java guide", "http://java.example/", "java programming"},
                      {"Web tools", "http://tools.example/", "web tools"}});
    }
    QLineEdit* box() { return frame->Search()->Box(); }
    void ShowActive() {
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        box()->setFocus();
        ASSERT_TRUE(box()->hasFocus());
    }
};

TEST_F(SearchBoxKeysTest, AStringSearchOfANewDocumentFindsNames) {
    EXPECT_EQ(doc().StringFields(), kSearchNewDocumentFields);
    frame->Action(cmd::StringSearch)->trigger();
    QTest::keyClicks(box(), "guide");
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
}

TEST_F(SearchBoxKeysTest, AnEmptyStoredMaskSearchesEveryFieldAndTheDropDownSaysSo) {
    doc().SetStringFields(0);
    doc().SetFieldText(2, kFieldStatus, "Broken link"); // the status: no field of a new document
    frame->Action(cmd::StringSearch)->trigger();
    frame->Search()->PrepareOptionMenu();
    for (int bit = 0; bit < kSearchFieldCount; ++bit)
        EXPECT_TRUE(frame->Action(cmd::SearchFieldFirst + bit)->isChecked()) << bit;
    QTest::keyClicks(box(), "broken");
    EXPECT_THAT(Rows(), ElementsAre("Web tools"));
    EXPECT_EQ(doc().StringFields(), 0); // the stored byte stays until a field is changed
    frame->Action(cmd::SearchFieldFirst + 6)->trigger(); // Status off: six fields remain
    EXPECT_EQ(doc().StringFields(), kSearchAllFields & ~kSearchStatus);
    EXPECT_THAT(Rows(), IsEmpty());
}

TEST_F(SearchBoxKeysTest, ChangingAFieldOrMatchCaseSearchesAgainAtOnce) {
    frame->Action(cmd::StringSearch)->trigger();
    QTest::keyClicks(box(), "JAVA");
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
    frame->Action(cmd::MatchCase)->trigger();
    EXPECT_THAT(Rows(), IsEmpty());
    frame->Action(cmd::MatchCase)->trigger();
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
    frame->Action(cmd::SearchFieldFirst + 0)->trigger(); // Name off: URL and keywords still match
    EXPECT_THAT(Rows(), ElementsAre("Java guide"));
    frame->Action(cmd::SearchFieldFirst + 1)->trigger();
    frame->Action(cmd::SearchFieldFirst + 2)->trigger();
    EXPECT_THAT(Rows(), IsEmpty());
}

TEST_F(SearchBoxKeysTest, EveryCommandKeyOfTheTableWorksFromTheSearchBox) {
    ShowActive();
    int runs = 0;
    int keys = 0;
    for (const brindle::CommandRow& row : CommandTable::Rows()) {
        for (const QKeyCombination key : row.keys) {
            if (key.key() == Qt::Key_unknown)
                continue;
            ++keys;
            frame->Commands().Register(row.id, [&runs] { ++runs; });
            runs = 0;
            box()->setText(QStringLiteral("some text"));
            box()->setFocus();
            QTest::keyClick(box(), key.key(), key.keyboardModifiers());
            EXPECT_EQ(runs, 1) << "command " << row.id << ", key "
                               << QKeySequence(key).toString().toStdString();
        }
    }
    EXPECT_GE(keys, 20);
}

TEST_F(SearchBoxKeysTest, TheBoxKeepsItsOwnKeysAndTheEditingCommandsWorkOnItsText) {
    frame->Workspace()->Bookmarks()->selectRow(0); // the list has a bookmark to copy or delete
    ShowActive();
    QTest::keyClicks(box(), "java");
    QTest::keyClick(box(), Qt::Key_A, Qt::ControlModifier); // no command has Ctrl+A
    EXPECT_EQ(box()->selectedText(), "java");
    QApplication::clipboard()->clear();
    QTest::keyClick(box(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "java");
    QTest::keyClick(box(), Qt::Key_Home);
    QTest::keyClick(box(), Qt::Key_Delete);
    EXPECT_EQ(box()->text(), "ava");
    EXPECT_EQ(doc().Bookmarks().size(), 3u);
}

// The key after a menu item's text is the key of its command's action, in every menu the window
// builds; and the status check reads the same wherever it is offered.
TEST_F(SearchBoxKeysTest, EveryMenuItemShowsTheKeyThatWorks) {
    std::vector<QMenu*> menus;
    for (QAction* top : frame->menuBar()->actions())
        menus.push_back(top->menu());
    for (std::size_t i = 0; i < menus.size(); ++i) // pop-ups inside pop-ups
        for (QAction* a : menus[i]->actions())
            if (a->menu())
                menus.push_back(a->menu());
    frame->Workspace()->Bookmarks()->selectRow(0);
    using CM = brindle::ContextMenuId;
    for (CM which : {CM::BookmarkHeader, CM::BookmarkSelection, CM::BookmarkEmpty, CM::Keyword,
                     CM::Tray, CM::Macro}) {
        menus.push_back(frame->Commands().BuildContextMenu(which, frame));
        for (QAction* a : menus.back()->actions())
            if (a->menu())
                menus.push_back(a->menu());
    }
    int items = 0;
    int withKeys = 0;
    for (QMenu* menu : menus) {
        for (QAction* a : menu->actions()) {
            const QAction* command = frame->Action(a->data().toInt());
            if (a->isSeparator() || a->menu() || !command)
                continue;
            const QString shown = a->text().contains(QLatin1Char('\t'))
                                      ? a->text().section(QLatin1Char('\t'), 1)
                                      : a->shortcut().toString(QKeySequence::NativeText);
            EXPECT_EQ(shown, command->shortcut().toString(QKeySequence::NativeText))
                << a->text().toStdString();
            ++items;
            withKeys += !shown.isEmpty();
        }
    }
    EXPECT_GT(items, 60);
    EXPECT_GE(withKeys, 24);

    emit frame->Commands().Menu(brindle::MenuId::Tool)->aboutToShow();
    QMenu* rowMenu = frame->Commands().BuildContextMenu(CM::BookmarkSelection, frame);
    int checks = 0;
    for (QAction* a : rowMenu->actions()) {
        if (a->data().toInt() != cmd::StatusCheck)
            continue;
        EXPECT_EQ(a->text().section(QLatin1Char('\t'), 0, 0),
                  frame->Action(cmd::StatusCheck)->text());
        ++checks;
    }
    EXPECT_EQ(checks, 1);
    delete rowMenu;
}

} // namespace
