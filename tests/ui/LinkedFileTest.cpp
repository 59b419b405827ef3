// SPDX-License-Identifier: GPL-3.0-or-later
// The window with a document linked to a bookmark file: it syncs on open and after a save, and a
// sync that would delete many bookmarks asks first and deletes nothing when told no.

#include "app/BrindleApp.h"
#include "exchange/Xbel.h"
#include "store/DocumentArchive.h"
#include "sync/LinkedSync.h"
#include "sync/SyncState.h"
#include "ui/exchange/LinkedFileController.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/CommandIds.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using brindle::MessageBox;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t FileBookmarks(const std::string& path) {
    brindle::XbelTree tree;
    return brindle::ParseXbel(ReadAll(path), tree) ? brindle::CountLinkedBookmarks(tree) : 0;
}

class LinkedFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("doc.brx")).toStdString();
    std::string linked = dir.filePath(QStringLiteral("shared/bookmarks.xbel")).toStdString();
    CBrindleApp app;
    CMainFrame* frame = nullptr;

    void SetUp() override {
        ::setenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toUtf8().constData(), 1);
        MessageBox::Reset();
        CBrindleDoc start;
        for (int i = 0; i < 10; ++i)
            start.AddBookmark({.name = "page " + std::to_string(i),
                               .url = "http://p" + std::to_string(i) + ".example/",
                               .statusChecking = 1});
        ASSERT_TRUE(brindle::WriteDocumentFile(start, path));
        ASSERT_TRUE(brindle::LinkDocument(path, linked, 5));
        ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle"), QString::fromStdString(path)},
                                     StartOptions::Quiet()));
        frame = app.Frame();
        QCoreApplication::processEvents(); // the sync on open
    }
    void TearDown() override { MessageBox::Reset(); }
};

} // namespace

TEST_F(LinkedFileTest, SyncsOnOpenAndAfterASave) {
    EXPECT_EQ(FileBookmarks(linked), 10u);
    EXPECT_TRUE(frame->Action(cmd::SyncNow)->isEnabled());
    EXPECT_EQ(frame->LinkedFiles()->Timer().interval(), 5 * 60 * 1000);

    app.Doc().AddBookmark({.name = "saved", .url = "http://saved.example/"});
    frame->Action(cmd::Save)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(FileBookmarks(linked), 11u);
    EXPECT_NE(ReadAll(linked).find("http://saved.example/"), std::string::npos);
}

TEST_F(LinkedFileTest, AMassDeletionAsksAndNoDeletesNothing) {
    ASSERT_EQ(FileBookmarks(linked), 10u);
    // The browser empties the file but for one bookmark.
    brindle::XbelTree tree;
    ASSERT_TRUE(brindle::ParseXbel(ReadAll(linked), tree));
    tree.items[0].children.resize(1);
    std::string text;
    brindle::WriteXbel(tree, text, {.sharedLayout = true});
    std::ofstream(linked, std::ios::binary) << text;

    MessageBox::QueueAnswer(QMessageBox::No);
    EXPECT_EQ(frame->LinkedFiles()->SyncNow(false), brindle::LinkSyncOutcome::MassDelete);
    ASSERT_EQ(MessageBox::History().size(), 1u);
    EXPECT_TRUE(MessageBox::History().back().text.contains(QStringLiteral("delete 9 of the 10")))
        << MessageBox::History().back().text.toStdString();
    EXPECT_EQ(app.Doc().Bookmarks().size(), 10u);

    MessageBox::QueueAnswer(QMessageBox::Yes);
    EXPECT_EQ(frame->LinkedFiles()->SyncNow(false), brindle::LinkSyncOutcome::Synced);
    EXPECT_EQ(app.Doc().Bookmarks().size(), 1u);
    EXPECT_EQ(app.Doc().DeletedBookmarks().size(), 9u); // through the document's own deletion
}
