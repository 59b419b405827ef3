// SPDX-License-Identifier: GPL-3.0-or-later
// F8 and F7 from the main window and the Fetch dialog, against a server on 127.0.0.1.
#include "TestServer.h"

#include "app/BrindleApp.h"
#include "archive/PageArchive.h"
#include "platform/net/NetProber.h"
#include "store/BrindleDoc.h"
#include "support/BookmarkLookup.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/linkcheck/FetchDialog.h"
#include "ui/linkcheck/LinkCheckController.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using nettest::HttpServer;

namespace {

std::atomic<int> g_slowStarted{0};

void Routes(httplib::Server& s, const std::atomic<bool>& stopping) {
    s.Get("/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><head><title>Fish Shop</title>"
                        "<meta name=\"description\" content=\"Fresh &amp; Cheap\">"
                        "<meta name='keywords' content='Fish;Shop'></head><body>x</body></html>",
                        "text/html");
    });
    s.Get("/old", [](const httplib::Request&, httplib::Response& res) {
        res.status = 301;
        res.set_header("Location", "/page");
    });
    s.Get("/login-hop", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/page");
    });
    s.Get("/slow", [&stopping](const httplib::Request&, httplib::Response& res) {
        ++g_slowStarted;
        for (int i = 0; i < 100 && !stopping; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        res.set_content("late", "text/plain");
    });
}

class NetWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        brindle::MessageBox::Reset();
        ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
        frame = app.Frame();
    }
    void TearDown() override { brindle::MessageBox::Reset(); }
    void Add(const std::string& name, const std::string& url) {
        app.Doc().AddBookmark({.name = name,
                               .url = url,
                               .statusChecking = 1,
                               .schedule = kNoSchedule,
                               .status = kStatusWaiting});
    }
    std::string Status(const std::string& name) {
        return std::string(testutil::FindByName(app.Doc(), name)->m_strStatus);
    }

    HttpServer server{Routes};
    CBrindleApp app;
    CMainFrame* frame = nullptr;
};

TEST_F(NetWindowTest, F8ChecksTheListShownAndTheMenuFollowsTheRun) {
    Add("shop", server.Url("/page"));
    Add("gone", server.Url("/missing"));
    Add("moved", server.Url("/old"));
    Add("hop", server.Url("/login-hop"));
    app.Doc().RerunLastSearch();
    app.Doc().RefreshViews();
    brindle::CommandTable& commands = frame->Commands();
    ASSERT_TRUE(commands.IsEnabled(cmd::StatusCheck));
    QAction* check = commands.Action(cmd::StatusCheck);
    commands.Execute(cmd::StatusCheck);
    EXPECT_EQ(frame->Panes()->Text(3), "SC:CHECKING");
    EXPECT_EQ(check->text(), "&Pause Check");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frame->Panes()->Text(3) == QStringLiteral("SC:CHECK OFF"); }, 10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !frame->LinkChecks()->CheckEngine().Running(); }, 10000));
    EXPECT_EQ(check->text(), "&Start Check");
    EXPECT_EQ(Status("shop"), "No change");
    EXPECT_EQ(Status("gone"), "Page not found");
    EXPECT_EQ(Status("moved"), "Changed");
    EXPECT_EQ(testutil::FindByName(app.Doc(), "moved")->m_strURL, server.Url("/page"));
    EXPECT_EQ(Status("hop"), "No change") << "a temporary redirect repairs nothing";
    EXPECT_EQ(testutil::FindByName(app.Doc(), "hop")->m_strURL, server.Url("/login-hop"));
    EXPECT_TRUE(app.Doc().IsModified());
}

TEST_F(NetWindowTest, OpenArchivedCopyAsksTheArchiveAndOpensItsCopy) {
    // A fake of the archive's availability service, and a "browser" that notes what it opens.
    HttpServer archive([](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/wayback/available", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(R"({"archived_snapshots":{"closest":{"available":true,"url":)"
                            R"("http://copy.test/web/2019/)" +
                                req.get_param_value("url") + R"(","timestamp":"20190101000000"}}})",
                            "application/json");
        });
    });
    QTemporaryDir dir;
    const QString opened = dir.filePath(QStringLiteral("opened"));
    const QString browser = dir.filePath(QStringLiteral("browser"));
    {
        QFile script(browser);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\necho \"$1\" > '" + opened + "'\n").toUtf8());
    }
    QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    app.Prefs().m_strArchiveService = archive.Url("/");
    app.Prefs().m_strIEPath = browser.toStdString();
    app.Prefs().m_nPrefer = 1;
    app.Prefs().m_bAlways = 1;
    Add("gone", server.Url("/missing"));
    app.Doc().RerunLastSearch();
    app.Doc().RefreshViews();
    frame->Workspace()->Bookmarks()->SelectAllRows();
    brindle::CommandTable& commands = frame->Commands();
    EXPECT_FALSE(commands.IsEnabled(cmd::OpenArchivedCopy)) << "not known to be dead yet";
    app.Doc().SetFieldText(0, kFieldStatus, "Page not found");
    ASSERT_TRUE(commands.IsEnabled(cmd::OpenArchivedCopy));
    QMenu* menu = commands.BuildContextMenu(brindle::ContextMenuId::BookmarkSelection, frame);
    bool listed = false;
    for (QAction* a : menu->actions())
        listed |= a->data().toInt() == cmd::OpenArchivedCopy;
    delete menu;
    EXPECT_TRUE(listed) << "in the row menu";
    commands.UpdateState(cmd::OpenArchivedCopy); // as showing the menu does
    commands.Execute(cmd::OpenArchivedCopy);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(opened); }, 10000))
        << frame->Panes()->Text(0).toStdString();
    QTest::qWait(100); // the script's line is written
    QFile result(opened);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll().trimmed().toStdString(),
              "http://copy.test/web/2019/" + server.Url("/missing"));
}

TEST_F(NetWindowTest, F8AgainStopsAndGivesQueuedBookmarksTheirStatusBack) {
    app.Doc().Prefs(); // defaults: ConnectMax 5
    for (int i = 0; i < 4; ++i)
        Add("slow " + std::to_string(i), server.Url("/slow?" + std::to_string(i)));
    app.Doc().RerunLastSearch();
    app.Doc().RefreshViews();
    g_slowStarted = 0;
    frame->Commands().Execute(cmd::StatusCheck);
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_slowStarted >= 1; }, 5000));
    frame->Commands().Execute(cmd::StatusCheck); // stop
    EXPECT_EQ(frame->Panes()->Text(3), "SC:CHECK OFF");
    EXPECT_FALSE(frame->LinkChecks()->CheckEngine().Running());
    // The first probe's answer ends the run: no status of the run is left behind.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->LinkChecks()->CheckEngine().Idle(); }, 10000));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Status("slow " + std::to_string(i)), "Waiting");
}

TEST_F(NetWindowTest, F7FetchesTheSelectedRows) {
    Add("shop", server.Url("/page"));
    app.Doc().RerunLastSearch();
    app.Doc().RefreshViews();
    brindle::CommandTable& commands = frame->Commands();
    EXPECT_FALSE(commands.IsEnabled(cmd::Fetch)) << "nothing selected";
    frame->Workspace()->Bookmarks()->SelectAllRows();
    ASSERT_TRUE(commands.IsEnabled(cmd::Fetch));
    commands.Execute(cmd::Fetch);
    EXPECT_TRUE(commands.Action(cmd::Fetch)->isChecked());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !frame->LinkChecks()->FetchEngine().Running(); }, 10000));
    EXPECT_FALSE(commands.Action(cmd::Fetch)->isChecked());
    const auto shop = testutil::FindByName(app.Doc(), "shop");
    EXPECT_EQ(shop->m_strStatus, "Changed");
    EXPECT_EQ(shop->m_strDescription, "Fresh & Cheap");
    EXPECT_EQ(shop->m_strKeywords, " fish shop");
    EXPECT_EQ(shop->m_strName, "shop");
}

TEST_F(NetWindowTest, FetchDialogFollowsTheRedirectAndReportsWhatItFound) {
    CPreferences prefs;
    brindle::FetchDialog dialog(QString::fromStdString(server.Url("/old")), prefs, frame);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Fetch from " + server.Url("/old"));
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("fetchButton"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), "Cancel");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsDone(); }, 10000));
    EXPECT_EQ(button->text(), "OK");
    EXPECT_EQ(dialog.ProgressText(), "Name Fetched\nDescription Fetched\nGet 2 keywords");
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Fetch from " + server.Url("/page"));
    const brindle::FetchedPage& page = dialog.Result();
    EXPECT_TRUE(page.fetched);
    EXPECT_EQ(page.name, "Fish Shop");
    EXPECT_EQ(page.description, "Fresh & Cheap");
    EXPECT_EQ(page.keywords, "fish shop");
    EXPECT_EQ(page.keywordCount, 2);
    EXPECT_EQ(page.url.toStdString(), server.Url("/page"));

    brindle::FetchDialog hop(QString::fromStdString(server.Url("/login-hop")), prefs, frame);
    hop.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hop.IsDone(); }, 10000));
    EXPECT_TRUE(hop.Result().fetched);
    EXPECT_EQ(hop.Result().url.toStdString(), server.Url("/login-hop")) << "a temporary hop";
}

TEST_F(NetWindowTest, FetchDialogShowsErrorsAndCancelAbortsTheRequest) {
    CPreferences prefs;
    {
        brindle::FetchDialog dialog(QStringLiteral("http://nowhere.invalid/"), prefs, frame);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsDone(); }, 10000));
        EXPECT_EQ(dialog.ProgressText(), "The server name could not be resolved.");
        EXPECT_FALSE(dialog.Result().fetched);
    }
    nettest::SelfSignedServer tls;
    if (tls.Ready()) {
        brindle::FetchDialog dialog(QString::fromStdString(tls.Url()), prefs, frame);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsDone(); }, 10000));
        EXPECT_TRUE(
            dialog.ProgressText().startsWith("The certificate authority is invalid or incorrect\n"))
            << dialog.ProgressText().toStdString();
        EXPECT_FALSE(dialog.Result().fetched);
    }
    g_slowStarted = 0;
    auto* dialog =
        new brindle::FetchDialog(QString::fromStdString(server.Url("/slow")), prefs, frame);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_slowStarted >= 1; }, 5000));
    EXPECT_FALSE(dialog->IsDone());
    dialog->findChild<QPushButton*>(QStringLiteral("fetchButton"))->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    delete dialog; // the request goes with it; nothing may arrive afterwards
    QTest::qWait(300);
}

} // namespace

TEST_F(NetWindowTest, ArchivePagesKeepsTheTextOfThePagesThatAnswer) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("pages.brx")).toStdString();
    app.Files().SetPathName(path, false);
    Add("shop", server.Url("/page"));
    Add("gone", server.Url("/missing"));
    app.Doc().RerunLastSearch();
    app.Doc().RefreshViews();
    // The question of which bookmarks: all of them.
    brindle::DialogRunner::SetHandler([](QDialog& dialog) {
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&All Bookmarks"))
                b->click();
        return int(QDialog::Accepted);
    });
    frame->Commands().Execute(cmd::ArchivePages);
    brindle::DialogRunner::SetHandler(nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frame->Panes()->Text(0) == QStringLiteral("Archived 1 of 2 pages."); }, 10000))
        << frame->Panes()->Text(0).toStdString();
    brindle::PageArchive archive;
    ASSERT_TRUE(archive.Open(brindle::PageArchive::LocationFor(path), false));
    const brindle::TextSearchResult found = archive.Search("fish", 10, 10);
    ASSERT_EQ(found.hits.size(), 1u) << found.error;
    EXPECT_EQ(found.hits[0].url, server.Url("/page"));
    EXPECT_NE(found.hits[0].snippet.find("[Fish]"), std::string::npos) << found.hits[0].snippet;
}
