// SPDX-License-Identifier: GPL-3.0-or-later
// The window and other programs writing its document: an outside brindle-cli add appears without
// a prompt and the view keeps its search, sort, selection and scroll; unsaved edits and outside
// changes both survive the save; a file replaced by a rename stays watched; a synced folder's
// conflict copy is merged; the Trash window restores.

#include "support/ProgramRun.h"

#include "app/BrindleApp.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"
#include "store/DocumentSync.h"
#include "store/Trash.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/trash/TrashDialog.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/DocumentWatcher.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

using brindle::DocumentWatcher;
using brindle::kPanePrompt;
using brindle::MessageBox;
using ::testing::ElementsAre;

namespace {

std::set<std::string> NamesIn(const CBrindleDoc& doc) {
    std::set<std::string> names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace(b.m_strName);
    return names;
}

class DocumentWatcherTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("web.brx")).toStdString();
    CBrindleApp app;
    CMainFrame* frame = nullptr;
    CBookMarkView* view = nullptr;

    void SetUp() override {
        MessageBox::Reset();
        // Any box the window would show is answered (and recorded) instead of waiting.
        MessageBox::QueueAnswer(QMessageBox::Cancel);
        CBrindleDoc start;
        for (int i = 0; i < 200; ++i) {
            const std::string n = "page " + std::to_string(1000 + i);
            start.AddBookmark({.name = n,
                               .url = "http://" + std::to_string(i) + "/",
                               .keywords = i % 2 ? "web" : "news",
                               .statusChecking = 1,
                               .status = kStatusWaiting});
        }
        ASSERT_TRUE(brindle::WriteDocumentFile(start, path));
        ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle"), QString::fromStdString(path)},
                                     StartOptions::Quiet()));
        frame = app.Frame();
        view = frame->Workspace()->Bookmarks();
        app.Watcher()->SetQuietTime(20);
        ASSERT_TRUE(app.Watcher()->WatchingFile());
    }
    void TearDown() override { MessageBox::Reset(); }

    testutil::ProgramRun Cli(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, {}, dir.path().toStdString());
    }
    std::string RowName(int row) {
        return view->model()->index(row, 0).data().toString().toStdString();
    }
};

TEST_F(DocumentWatcherTest, AnOutsideAddAppearsWithoutAPromptKeepingTheView) {
    frame->Search()->Box()->setText(QStringLiteral("web"));
    view->SortByColumn(0); // the name column, now descending
    ASSERT_EQ(app.Doc().SortAscending(), 0);
    ASSERT_EQ(view->model()->rowCount(), 100);
    view->selectRow(60);
    const std::string selected = RowName(60);
    view->scrollTo(view->model()->index(50, 0), QAbstractItemView::PositionAtTop);
    const int top = view->rowAt(0);
    ASSERT_GT(top, 0);
    const std::string topName = RowName(top);

    // Sorts before everything on top: every row moves one down.
    const auto run = Cli({"add", path, "--name", "page 9999", "--url", "http://new/", "--keywords",
                          "web", "--no-backup"});
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Doc().Bookmarks().size() == 201u; }, 5000));
    EXPECT_EQ(view->model()->rowCount(), 101);
    EXPECT_EQ(RowName(0), "page 9999");
    EXPECT_FALSE(app.Doc().IsModified());
    EXPECT_EQ(frame->Search()->Box()->text(), QStringLiteral("web"));
    EXPECT_EQ(app.Doc().SortAscending(), 0);
    // The same bookmark is selected and heads the view as before, one row further down.
    const std::vector<std::uint32_t> now = view->SelectedBookmarks();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(app.Doc().Bookmarks()[now[0]].m_strName, selected);
    EXPECT_EQ(view->rowAt(0), top + 1);
    EXPECT_EQ(RowName(view->rowAt(0)), topName);
    EXPECT_EQ(frame->Panes()->Text(kPanePrompt), DocumentWatcher::ReloadedText("web.brx"));
    EXPECT_TRUE(MessageBox::History().empty());
}

TEST_F(DocumentWatcherTest, UnsavedEditsAndAnOutsideAddBothSurviveTheSave) {
    // The window deletes one bookmark and does not save; another program adds one.
    view->selectRow(0);
    const std::string deleted = RowName(0);
    view->DeleteSelected(false);
    ASSERT_TRUE(app.Doc().IsModified());
    ASSERT_EQ(Cli({"add", path, "--name", "X", "--url", "http://x/"}).code, 0);
    // Merged as soon as the file changes: the add shows, the delete stays unsaved.
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Doc().Bookmarks().size() == 200u; }, 5000));
    EXPECT_TRUE(app.Doc().IsModified());
    EXPECT_EQ(frame->Panes()->Text(kPanePrompt), DocumentWatcher::MergedText("web.brx", 0));
    ASSERT_TRUE(app.Files().Save());
    CBrindleDoc saved;
    ASSERT_TRUE(brindle::ReadDocumentFile(saved, path));
    EXPECT_EQ(NamesIn(saved).count("X"), 1u);
    EXPECT_EQ(NamesIn(saved).count(deleted), 0u);
    EXPECT_EQ(saved.Bookmarks().size(), 200u);
    EXPECT_TRUE(MessageBox::History().empty());
}

TEST_F(DocumentWatcherTest, ASaveThatFindsTheFileChangedMergesFirst) {
    app.Watcher()->SetQuietTime(60000); // the watcher does not get there first
    view->selectRow(0);
    const std::string deleted = RowName(0);
    view->DeleteSelected(false);
    ASSERT_EQ(Cli({"add", path, "--name", "X", "--url", "http://x/"}).code, 0);
    ASSERT_TRUE(app.Files().Save());
    CBrindleDoc saved;
    ASSERT_TRUE(brindle::ReadDocumentFile(saved, path));
    EXPECT_EQ(saved.Bookmarks().size(), 200u);
    EXPECT_EQ(NamesIn(saved).count("X"), 1u);
    EXPECT_EQ(NamesIn(saved).count(deleted), 0u);
    EXPECT_EQ(view->model()->rowCount(), 200);
    EXPECT_EQ(frame->Panes()->Text(kPanePrompt), DocumentWatcher::MergedText("web.brx", 0));
}

TEST_F(DocumentWatcherTest, AFileReplacedByARenameIsStillWatched) {
    for (const char* name : {"first", "second", "third"}) {
        CBrindleDoc copy;
        ASSERT_TRUE(brindle::ReadDocumentFile(copy, path));
        copy.AddBookmark({.name = name, .url = "http://sync/"});
        // As a sync tool does it: a new file beside, renamed over the document.
        const std::string temp = dir.filePath(QStringLiteral(".web.brx.sync")).toStdString();
        ASSERT_TRUE(brindle::WriteDocumentFile(copy, temp));
        ASSERT_EQ(std::rename(temp.c_str(), path.c_str()), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return NamesIn(app.Doc()).count(name) == 1; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return app.Watcher()->WatchingFile(); }, 5000));
    }
    EXPECT_EQ(app.Doc().Bookmarks().size(), 203u);
    EXPECT_FALSE(app.Doc().IsModified());
}

TEST_F(DocumentWatcherTest, AFieldChangedOnBothSidesKeepsTheWindowsValueAndCountsIt) {
    app.Doc().SetFieldText(0, kFieldDescription, "the window's");
    {
        // Another program changes the same field of the same bookmark, and another one's status.
        brindle::DocumentLock lock;
        ASSERT_EQ(lock.Acquire(path), brindle::DocumentLock::State::Held);
        CBrindleDoc other;
        ASSERT_TRUE(brindle::ReadDocumentFile(other, path));
        other.SetFieldText(0, kFieldDescription, "the other's");
        other.SetFieldText(1, kFieldStatus, "OK");
        ASSERT_TRUE(brindle::WriteDocumentFile(other, path));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return frame->Panes()->Text(kPanePrompt) == DocumentWatcher::MergedText("web.brx", 1);
        },
        5000));
    EXPECT_EQ(frame->Panes()->Text(kPanePrompt), DocumentWatcher::MergedText("web.brx", 1));
    const BookmarkRef first = app.Doc().Bookmarks()[0];
    EXPECT_EQ(first.m_strDescription, "the window's");
    EXPECT_EQ(first.m_strNotes,
              std::string(brindle::kMergeConflictMarker) + " Description: the other's");
    EXPECT_EQ(app.Doc().Bookmarks()[1].m_strStatus, "OK");
    EXPECT_TRUE(app.Doc().IsModified());
}

TEST_F(DocumentWatcherTest, NoChangeIsTakenWhileADialogIsOpen) {
    // A dialog may hold bookmark positions (the property sheet does): the file waits for it.
    QDialog dialog(frame);
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    ASSERT_EQ(Cli({"add", path, "--name", "X", "--url", "http://x/"}).code, 0);
    QTest::qWait(300);
    EXPECT_EQ(app.Doc().Bookmarks().size(), 200u);
    dialog.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Doc().Bookmarks().size() == 201u; }, 5000));
}

TEST_F(DocumentWatcherTest, StatusTextsCountTheConflicts) {
    EXPECT_EQ(DocumentWatcher::MergedText("a.brx", 2),
              QStringLiteral("Changes another program made to a.brx have been merged; 2 "
                             "conflict(s) kept in the bookmarks' notes."));
    EXPECT_EQ(DocumentWatcher::ReloadedText("a.brx"),
              QStringLiteral("a.brx was changed by another program and has been read again."));
}

} // namespace

namespace {

TEST_F(DocumentWatcherTest, AConflictCopyIsMergedSavedAndMovedToTheTrashFolder) {
    // The other machine's version: one bookmark added, one deleted.
    CBrindleDoc theirs;
    ASSERT_TRUE(brindle::ReadDocumentFile(theirs, path));
    theirs.AddBookmark({.name = "from elsewhere", .url = "http://elsewhere/"});
    theirs.DeleteBookmark(0); // "page 1000"
    const std::string name = "web.sync-conflict-20260110-093612-ABCD123.brx";
    const std::string copy = dir.filePath(QString::fromStdString(name)).toStdString();
    ASSERT_TRUE(brindle::WriteDocumentFile(theirs, copy));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !QFileInfo::exists(QString::fromStdString(copy)); }, 5000));
    EXPECT_TRUE(NamesIn(app.Doc()).count("from elsewhere"));
    EXPECT_FALSE(NamesIn(app.Doc()).count("page 1000"));
    EXPECT_FALSE(app.Doc().IsModified()); // saved
    CBrindleDoc saved;
    ASSERT_TRUE(brindle::ReadDocumentFile(saved, path));
    EXPECT_EQ(NamesIn(saved), NamesIn(app.Doc()));
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(brindle::TrashFolder() + "/" +
                                                         brindle::DocumentKey(path) + "." + name)));
    brindle::Trash trash;
    ASSERT_TRUE(trash.Load(brindle::TrashFileFor(path)));
    ASSERT_EQ(trash.Entries().size(), 1u);
    EXPECT_EQ(trash.Entries()[0].bookmark.m_strName, "page 1000");
    EXPECT_THAT(frame->Panes()->Text(kPanePrompt).toStdString(),
                ::testing::AllOf(::testing::HasSubstr(name), ::testing::HasSubstr("1 bookmark")));
}

TEST_F(DocumentWatcherTest, TheTrashWindowRestoresAndSaves) {
    app.Doc().DeleteBookmark(0); // "page 1000"
    ASSERT_TRUE(app.Files().Save());
    brindle::TrashDialog dialog(
        app.Doc(), path, [&] { return app.Files().Save(); }, frame);
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(0), QStringLiteral("page 1000"));
    EXPECT_FALSE(dialog.RestoreButton()->isEnabled());
    dialog.List()->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(dialog.RestoreButton()->isEnabled());
    dialog.RestoreSelected();
    EXPECT_TRUE(NamesIn(app.Doc()).count("page 1000"));
    EXPECT_FALSE(app.Doc().IsModified());
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
    brindle::Trash trash;
    ASSERT_TRUE(trash.Load(brindle::TrashFileFor(path)));
    EXPECT_TRUE(trash.Entries().empty());
}

} // namespace
