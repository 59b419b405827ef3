// SPDX-License-Identifier: GPL-3.0-or-later
// What the application does around each new or opened document: the automatic save's timer and
// the reload of the most recent file.

#include "support/WindowTest.h"

#include "app/BrindleApp.h"
#include "store/DocumentArchive.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/MainFrame.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class StartUpTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // A document of two bookmarks, opened once so that it heads the recent-file list.
        CBrindleDoc other;
        for (const char* name : {"one", "two"})
            other.AddBookmark({.name = name,
                               .url = name,
                               .statusChecking = 1,
                               .schedule = kNoSchedule,
                               .status = kStatusWaiting});
        path = dir.filePath(QStringLiteral("recent.brx"));
        ASSERT_TRUE(brindle::WriteDocumentFile(other, path.toStdString()));
        ASSERT_TRUE(app.OpenDocument(path));
        ASSERT_EQ(app.Doc().Bookmarks().size(), 2u);
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(StartUpTest, TheWindowHasTheApplicationsIcon) {
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32, 32).isNull());
    EXPECT_FALSE(app.Frame()->windowIcon().isNull());
}

TEST_F(StartUpTest, TheAutomaticSaveRunsEveryFifteenMinutes) {
    EXPECT_TRUE(app.AutoSaveTimer().isActive());
    EXPECT_EQ(app.AutoSaveTimer().interval(), 15 * 60 * 1000);
}

TEST_F(StartUpTest, ReloadOnReopensTheMostRecentFileAfterNew) {
    app.Prefs().m_bReload = 1;
    app.Files().New();
    EXPECT_TRUE(app.Doc().Bookmarks().empty()); // not inside New itself
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Doc().Bookmarks().size() == 2u; }, 5000));
    EXPECT_EQ(QString::fromStdString(app.Files().PathName()), path);
}

TEST_F(StartUpTest, ReloadOffLeavesTheNewDocumentEmpty) {
    app.Prefs().m_bReload = 0;
    app.Files().New();
    QTest::qWait(50);
    EXPECT_TRUE(app.Doc().Bookmarks().empty());
}

} // namespace
