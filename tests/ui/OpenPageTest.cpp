// SPDX-License-Identifier: GPL-3.0-or-later
// Opening pages from the window with stand-in browsers: the Open Page command, a double-click,
// Enter and the tray entries set Last Visited and start the browser; refused and failed launches
// are said in the prompt pane. Also the search box's keys and dates of 0 in the list.

#include "app/BrindleApp.h"
#include "support/FakeBrowsers.h"
#include "support/WindowTest.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using testutil::FakeBrowsers;

namespace {

class OpenPageTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        browsers.Reset();
        WindowTest::SetUp();
        app.Prefs().m_nPrefer = 2; // "bAlways" is on: only the stand-in Firefox
        // Rows by name: Alpha, Beta, Gamma.
        doc().AddBookmark({.name = "Gamma", .url = "-new-window", .keywords = "web"});
        doc().AddBookmark({.name = "Alpha", .url = " http://a.example/ ", .keywords = "web"});
        doc().AddBookmark({.name = "Beta", .url = "http://b.example/", .keywords = "web"});
        doc().SetModifiedFlag(false);
        doc().Search("", false, 0);
    }
    void Select(int row) {
        view->clearSelection();
        view->selectionModel()->select(view->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->setCurrentIndex(view->Model()->index(row, 0));
    }
    QStringList Opened(int count) {
        QStringList lines = browsers.WaitForStarts(count);
        QTest::qWait(200);
        return browsers.Starts();
    }
    static QString Firefox(const char* url) {
        return FakeBrowsers::Line(QStringLiteral("firefox"), QLatin1String(url));
    }

    FakeBrowsers& browsers = FakeBrowsers::Instance();
};

TEST_F(OpenPageTest, OpenPageSetsLastVisitedAndStartsTheBrowser) {
    Select(0);                                                   // Alpha, index 1
    EXPECT_EQ(view->Model()->index(0, 9).data().toString(), ""); // never visited
    const BrxTime before = CBrindleDoc::Now();
    frame->Action(cmd::OpenPage)->trigger();
    EXPECT_THAT(Opened(1), ElementsAre(Firefox("http://a.example/")));
    EXPECT_GE(doc().Bookmarks()[1].m_tLastVisited, before);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_NE(view->Model()->index(0, 9).data().toString(), "");
    EXPECT_EQ(doc().Bookmarks()[2].m_tLastVisited, 0);
}

TEST_F(OpenPageTest, DoubleClickEnterAndTrayOpenTheirRows) {
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    const QRect beta = view->visualRect(view->Model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, beta.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, beta.center());
    EXPECT_THAT(Opened(1), ElementsAre(Firefox("http://b.example/")));

    browsers.Reset();
    Select(0);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_THAT(Opened(1), ElementsAre(Firefox("http://a.example/")));

    // Tray entry 1174 + 1: the second hit.
    browsers.Reset();
    QMenu* menu = frame->Tray()->BuildMenu();
    QAction* second = nullptr;
    for (QAction* a : menu->actions())
        if (a->data().toInt() == cmd::TrayBookmarkFirst + 1)
            second = a;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), "Beta");
    second->trigger();
    EXPECT_THAT(Opened(1), ElementsAre(Firefox("http://b.example/")));
}

TEST_F(OpenPageTest, RefusedAndFailedLaunchesAreSaid) {
    Select(2); // Gamma, whose URL would be an option
    frame->Action(cmd::OpenPage)->trigger();
    EXPECT_TRUE(Opened(0).isEmpty());
    EXPECT_EQ(frame->Panes()->Text(0), "Not opened: an address may not start with \"-\"");
    // A page that went to no browser is not stamped as visited.
    EXPECT_EQ(doc().Bookmarks()[0].m_tLastVisited, 0);

    app.Prefs().m_strNetscapePath = browsers.Program(QStringLiteral("broken")).toStdString();
    Select(1);
    frame->Action(cmd::OpenPage)->trigger();
    EXPECT_EQ(frame->Panes()->Text(0),
              QStringLiteral("Cannot start ") + browsers.Program(QStringLiteral("broken")));
    EXPECT_EQ(doc().Bookmarks()[1].m_tLastVisited, 0);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(OpenPageTest, SearchBoxKeys) {
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QLineEdit* box = frame->Search()->Box();
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClicks(box, "web");
    EXPECT_EQ(view->Model()->rowCount(), 3);
    view->setFocus();
    ASSERT_FALSE(box->hasFocus());
    QTest::keyClick(frame, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(box->hasFocus());
    view->setFocus();
    QTest::keyClick(frame, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(doc().LastSearch(), "");
}

} // namespace
