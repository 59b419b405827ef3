// SPDX-License-Identifier: GPL-3.0-or-later
// "Add Bookmark" and "Bookmark Properties" driven offscreen through the window's commands: what
// the document holds afterwards, where the list shows it, stepping, Cancel, and the sheet's
// messages.

#include "app/BrindleApp.h"
#include "platform/HotKeys.h"
#include "store/BookmarkList.h"
#include "support/MozLz4.h"
#include "support/RunningBrowser.h"
#include "support/TestFiles.h"
#include "support/WindowTest.h"
#include "ui/bookmarks/AddMarkPropertySheet.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/keywords/KeywordView.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

using ::testing::ElementsAre;

namespace {

using Sheet = CAddMarkPropertySheet;

class PropertySheetTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // Collection order: Alpha, Beta, Gamma, Delta.
        const char* const rows[][3] = {{"Alpha", "http://a.example/", "web tools"},
                                       {"Beta", "http://b.example/", "web news"},
                                       {"Gamma", "http://c.example/", "news"},
                                       {"Delta", "http://d.example/", "sport"}};
        BrxTime t = 1000000;
        for (const auto& r : rows) {
            doc().AddBookmark({.name = r[0],
                               .url = r[1],
                               .keywords = r[2],
                               .description = "desc",
                               .notes = "note",
                               .statusChecking = 1,
                               .schedule = kNoSchedule,
                               .status = "Changed",
                               .addDate = t,
                               .lastVisited = 0,
                               .lastModified = t + 20,
                               .lastChecked = t + 30});
            t += 86400;
        }
        doc().SetModifiedFlag(false);
        doc().Search("", false, 0);
    }

    // Runs `fill` on the next sheet that opens; the sheet then ends with OK unless `fill` ended
    // it.
    void OnSheet(std::function<void(Sheet&)> fill) {
        brindle::DialogRunner::SetHandler([fill](QDialog& dialog) {
            auto& sheet = dynamic_cast<Sheet&>(dialog);
            fill(sheet);
            return sheet.result();
        });
    }
    static QLineEdit* Box(Sheet& s, const char* name) {
        return s.findChild<QLineEdit*>(QLatin1String(name));
    }
    static QString Label(Sheet& s, const char* name) {
        return s.findChild<QLabel*>(QLatin1String(name))->text();
    }
    static void Type(Sheet& s, const char* name, const QString& text) {
        QLineEdit* box = Box(s, name);
        box->clear();
        QTest::keyClicks(box, text);
    }
    void Properties(int row) {
        view->clearSelection();
        view->selectionModel()->select(view->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frame->Commands().UpdateStates();
        ASSERT_TRUE(frame->Action(cmd::Properties)->isEnabled());
        frame->Action(cmd::Properties)->trigger();
    }
};

TEST_F(PropertySheetTest, AddStoresTheTypedFieldsAndShowsTheBookmarkUnderTheSearch) {
    frame->Search()->Box()->setText(QStringLiteral("web"));
    ASSERT_THAT(Rows(), ElementsAre("Alpha", "Beta"));
    bool seen = false;
    OnSheet([&](Sheet& s) {
        seen = true;
        EXPECT_EQ(s.windowTitle(), "Add Bookmark");
        EXPECT_FALSE(s.IsNavigation());
        EXPECT_EQ(s.PreviousButton(), nullptr);
        EXPECT_NE(Label(s, "addDateText"), "?");
        EXPECT_EQ(Label(s, "lastVisitedText"), "?");
        EXPECT_EQ(Label(s, "lastCheckedText"), "?");
        EXPECT_TRUE(s.findChild<QCheckBox*>("statusCheckingBox")->isChecked());
        EXPECT_EQ(s.findChild<QComboBox*>("scheduleList")->currentText(), "<None>");
        EXPECT_EQ(Box(s, "statusEdit")->text(), "Waiting");
        Type(s, "nameEdit", QStringLiteral("  Bravo "));
        Type(s, "urlEdit", QStringLiteral("http://bravo.example/"));
        Type(s, "keywordsEdit", QStringLiteral("Web.Tools (Daily)"));
        Type(s, "descriptionEdit", QStringLiteral("a description"));
        Type(s, "notesEdit", QStringLiteral("some notes"));
        s.accept();
    });
    const BrxTime before = CBrindleDoc::Now();
    frame->Action(cmd::Add)->trigger();
    ASSERT_TRUE(seen);
    ASSERT_EQ(doc().Bookmarks().size(), 5u);
    const BookmarkRef b = doc().Bookmarks()[4];
    EXPECT_EQ(b.m_strName, "Bravo");
    EXPECT_EQ(b.m_strURL, "http://bravo.example/");
    EXPECT_EQ(b.m_strKeywords, "web tools daily");
    EXPECT_EQ(b.m_strDescription, "a description");
    EXPECT_EQ(b.m_strNotes, "some notes");
    EXPECT_EQ(b.m_wStatusChecking, 1);
    EXPECT_EQ(b.m_strSchedule, "<None>");
    EXPECT_EQ(b.m_strStatus, "Waiting");
    EXPECT_GE(b.m_tAddDate, before);
    EXPECT_LE(b.m_tAddDate, CBrindleDoc::Now());
    EXPECT_EQ(b.m_tLastVisited, 0);
    EXPECT_EQ(b.m_tLastModified, 0);
    EXPECT_EQ(b.m_tLastChecked, 0);
    EXPECT_TRUE(doc().IsModified());
    // At its sorted place among the hits of "web"; its new keyword joins the keyword list.
    EXPECT_THAT(Rows(), ElementsAre("Alpha", "Beta", "Bravo"));
    // ... and it is the selected, current row.
    EXPECT_EQ(view->currentIndex().row(), 2);
    EXPECT_EQ(view->SelectedBookmarks(), std::vector<std::uint32_t>{4});
    bool daily = false;
    CKeyWordView* keywords = frame->Workspace()->Keywords();
    for (int r = 0; r < keywords->Model()->rowCount(); ++r)
        daily |= keywords->KeywordAt(r) == "daily";
    EXPECT_TRUE(daily);

    // One that does not match the search is added but not listed.
    OnSheet([&](Sheet& s) {
        Type(s, "nameEdit", QStringLiteral("Aardvark"));
        Type(s, "keywordsEdit", QStringLiteral("animals"));
        s.accept();
    });
    frame->Action(cmd::Add)->trigger();
    EXPECT_EQ(doc().Bookmarks().size(), 6u);
    EXPECT_THAT(Rows(), ElementsAre("Alpha", "Beta", "Bravo"));
    EXPECT_EQ(frame->Panes()->Text(0), "Added \"Aardvark\"; the current search does not show it.");
}

TEST_F(PropertySheetTest, ABlankNameIsRefusedInBothFormsAndCancelChangesNothing) {
    for (const bool properties : {false, true}) {
        brindle::MessageBox::Reset();
        brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
        bool stayedOpen = false;
        OnSheet([&](Sheet& s) {
            Type(s, "nameEdit", QStringLiteral("   "));
            s.Tabs()->setCurrentIndex(2);
            s.accept();
            stayedOpen = s.result() != QDialog::Accepted;
            EXPECT_EQ(s.Tabs()->currentWidget(), s.General());
            s.reject();
        });
        if (properties)
            Properties(0);
        else
            frame->Action(cmd::Add)->trigger();
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
        EXPECT_EQ(brindle::MessageBox::History()[0].text, "You must enter a name for the bookmark");
        EXPECT_EQ(brindle::MessageBox::History()[0].icon, brindle::MessageBox::Icon::Stop);
        EXPECT_EQ(doc().Bookmarks().size(), 4u);
        EXPECT_THAT(Names(), ElementsAre("Alpha", "Beta", "Gamma", "Delta"));
        EXPECT_FALSE(doc().IsModified());
    }
}

TEST_F(PropertySheetTest, RenameToATakenNameGetsZeroesAndTheListFollows) {
    // Rows by name: Alpha, Beta, Delta, Gamma.
    OnSheet([&](Sheet& s) {
        EXPECT_EQ(s.windowTitle(), "Bookmark Properties");
        EXPECT_EQ(s.CurrentIndex(), 1u);
        EXPECT_EQ(Box(s, "nameEdit")->text(), "Beta");
        EXPECT_EQ(Label(s, "lastVisitedText"), "?"); // never visited
        EXPECT_NE(Label(s, "addDateText"), "?");
        Type(s, "nameEdit", QStringLiteral("Alpha"));
        s.accept();
    });
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    Properties(1);
    EXPECT_THAT(Names(), ElementsAre("Alpha", "Alpha0", "Gamma", "Delta"));
    // The user is told, in the sheet, which name was stored.
    ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
    EXPECT_EQ(brindle::MessageBox::History()[0].text,
              "Another bookmark is already named \"Alpha\"; this one is stored as \"Alpha0\".");
    EXPECT_TRUE(doc().IsModified());
    OnSheet([&](Sheet& s) {
        Type(s, "nameEdit", QStringLiteral("Alpha"));
        s.accept();
    });
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    Properties(3); // Gamma
    EXPECT_THAT(Names(), ElementsAre("Alpha", "Alpha0", "Alpha00", "Delta"));
    EXPECT_EQ(brindle::MessageBox::History().size(), 2u);
    EXPECT_THAT(Rows(), ElementsAre("Alpha", "Alpha0", "Alpha00", "Delta"));

    // The same name and URL as another: not stored, and OK still closes.
    doc().SetModifiedFlag(false);
    bool closed = false;
    OnSheet([&](Sheet& s) {
        Type(s, "nameEdit", QStringLiteral("Alpha"));
        Type(s, "urlEdit", QStringLiteral("http://a.example/"));
        s.accept();
        closed = s.result() == QDialog::Accepted;
    });
    Properties(3); // Delta
    EXPECT_TRUE(closed);
    EXPECT_THAT(Names(), ElementsAre("Alpha", "Alpha0", "Alpha00", "Delta"));
    EXPECT_EQ(doc().Bookmarks()[3].m_strURL, "http://d.example/");
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(PropertySheetTest, SteppingKeepsEditsUntilOkAndCancelDropsThem) {
    auto stepThrough = [&](Sheet& s) {
        ASSERT_EQ(s.CurrentIndex(), 1u); // Beta
        Type(s, "descriptionEdit", QStringLiteral("edited B"));
        Type(s, "keywordsEdit", QStringLiteral("News.Sport (Daily)"));
        QTest::mouseClick(s.NextButton(), Qt::LeftButton);
        ASSERT_EQ(s.CurrentIndex(), 2u);
        EXPECT_EQ(Box(s, "nameEdit")->text(), "Gamma");
        Type(s, "notesEdit", QStringLiteral("edited G"));
        QTest::mouseClick(s.PreviousButton(), Qt::LeftButton);
        ASSERT_EQ(s.CurrentIndex(), 1u);
        EXPECT_EQ(Box(s, "descriptionEdit")->text(), "edited B");
        EXPECT_EQ(Box(s, "keywordsEdit")->text(), "news sport daily");
        s.Next();
        s.Next();
        EXPECT_EQ(s.CurrentIndex(), 3u);
        EXPECT_FALSE(s.NextButton()->isEnabled());
        EXPECT_TRUE(s.PreviousButton()->isEnabled());
        s.Next(); // at the end: stays
        EXPECT_EQ(s.CurrentIndex(), 3u);
        EXPECT_EQ(Box(s, "nameEdit")->text(), "Delta");
    };
    OnSheet([&](Sheet& s) {
        stepThrough(s);
        s.reject();
    });
    Properties(1); // Beta
    EXPECT_FALSE(doc().IsModified());
    EXPECT_EQ(doc().Bookmarks()[1].m_strDescription, "desc");
    EXPECT_EQ(doc().Bookmarks()[2].m_strNotes, "note");

    OnSheet([&](Sheet& s) {
        stepThrough(s);
        s.accept();
    });
    Properties(1);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(doc().Bookmarks()[1].m_strDescription, "edited B");
    EXPECT_EQ(doc().Bookmarks()[1].m_strKeywords, "news sport daily");
    EXPECT_EQ(doc().Bookmarks()[2].m_strNotes, "edited G");
    EXPECT_EQ(doc().Bookmarks()[0].m_strDescription, "desc");
    EXPECT_EQ(doc().Bookmarks()[3].m_strNotes, "note");
    // Dates are not the sheet's to change.
    EXPECT_EQ(doc().Bookmarks()[1].m_tAddDate, 1000000 + 86400);
}

TEST_F(PropertySheetTest, SteppingWithAnEmptyNameStaysAndTheFirstEntryStaysFirst) {
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    OnSheet([&](Sheet& s) {
        ASSERT_EQ(s.CurrentIndex(), 0u);
        s.Previous(); // nothing before the first
        EXPECT_EQ(s.CurrentIndex(), 0u);
        EXPECT_TRUE(s.PreviousButton()->isEnabled());
        Type(s, "nameEdit", QString());
        s.Next();
        EXPECT_EQ(s.CurrentIndex(), 0u);
        s.reject();
    });
    Properties(0); // Alpha
    ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
    EXPECT_EQ(brindle::MessageBox::History()[0].text, "You must enter the bookmark's name");
}

TEST_F(PropertySheetTest, ACollectionChangedUnderTheSheetTakesNothingOver) {
    OnSheet([&](Sheet& s) {
        Type(s, "nameEdit", QStringLiteral("Renamed"));
        s.Next();
        ASSERT_EQ(s.CurrentIndex(), 1u);
        // Another document arrives while the sheet is open (a second start hands one over).
        doc().DeleteContents();
        doc().AddBookmark({.name = "Other", .url = "http://o/"});
        s.Next();
        s.Previous();
        s.accept();
    });
    Properties(0);
    EXPECT_THAT(Names(), ElementsAre("Other"));
}

TEST_F(PropertySheetTest, FetchAndScheduleButtonsFollowTheirHandlers) {
    // The window installs its own Fetch dialog and schedule editor on every sheet.
    OnSheet([&](Sheet& s) {
        Type(s, "urlEdit", QStringLiteral("http://x/"));
        EXPECT_TRUE(s.FetchButton()->isEnabled());
        EXPECT_TRUE(s.findChild<QPushButton*>("scheduleEditButton")->isEnabled());
        s.reject();
    });
    frame->Action(cmd::Add)->trigger();

    // Without handlers both show disabled.
    frame->Workspace()->SetSheetPreparer({});
    OnSheet([&](Sheet& s) {
        Type(s, "urlEdit", QStringLiteral("http://x/"));
        EXPECT_FALSE(s.FetchButton()->isEnabled());
        EXPECT_FALSE(s.findChild<QPushButton*>("scheduleEditButton")->isEnabled());
        s.reject();
    });
    frame->Action(cmd::Add)->trigger();

    QString fetchedFrom;
    frame->Workspace()->SetSheetPreparer([&](Sheet& s) {
        s.SetFetchHandler([&](const QString& url, QWidget*) {
            fetchedFrom = url;
            return std::optional<Sheet::FetchResult>(
                Sheet::FetchResult{.url = QStringLiteral("http://moved.example/"),
                                   .name = QStringLiteral("Fetched title"),
                                   .description = QString(),
                                   .keywords = QStringLiteral("extra")});
        });
        s.SetScheduleEditHandler([&](QWidget*) { doc().AddSchedule("Weekly", 7 * 86400, false); });
    });
    OnSheet([&](Sheet& s) {
        EXPECT_FALSE(s.FetchButton()->isEnabled()); // no URL yet
        Type(s, "urlEdit", QStringLiteral("http://x/"));
        EXPECT_TRUE(s.FetchButton()->isEnabled());
        Type(s, "keywordsEdit", QStringLiteral("mine"));
        Type(s, "descriptionEdit", QStringLiteral("kept"));
        QTest::mouseClick(s.FetchButton(), Qt::LeftButton);
        EXPECT_EQ(fetchedFrom, "http://x/");
        EXPECT_EQ(Box(s, "nameEdit")->text(), "Fetched title");
        EXPECT_EQ(Box(s, "urlEdit")->text(), "http://moved.example/");
        EXPECT_EQ(Box(s, "keywordsEdit")->text(), "mine extra");
        EXPECT_EQ(Box(s, "descriptionEdit")->text(), "kept");
        Box(s, "urlEdit")->clear();
        EXPECT_FALSE(s.FetchButton()->isEnabled());

        auto* edit = s.findChild<QPushButton*>("scheduleEditButton");
        ASSERT_TRUE(edit->isEnabled());
        QTest::mouseClick(edit, Qt::LeftButton);
        auto* list = s.findChild<QComboBox*>("scheduleList");
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(list->itemText(1), "Weekly");
        EXPECT_EQ(list->currentText(), "<None>");
        // Checking off: no schedule to choose, and the status says so.
        s.findChild<QCheckBox*>("statusCheckingBox")->setChecked(false);
        EXPECT_FALSE(list->isEnabled());
        EXPECT_FALSE(edit->isEnabled());
        EXPECT_EQ(Box(s, "statusEdit")->text(), "Checking Off");
        s.reject();
    });
    frame->Action(cmd::Add)->trigger();
    frame->Workspace()->SetSheetPreparer({});
}

TEST_F(PropertySheetTest, ShowAddSheetTakesThePrefilledFields) {
    OnSheet([&](Sheet& s) {
        EXPECT_EQ(Box(s, "nameEdit")->text(), "Captured");
        EXPECT_EQ(Box(s, "urlEdit")->text(), "http://cap.example/");
        EXPECT_EQ(Box(s, "descriptionEdit")->text(), "from the browser");
        EXPECT_EQ(Box(s, "notesEdit")->text(), "");
        s.accept();
    });
    CBookmark initial;
    initial.m_strName = "Captured";
    initial.m_strURL = "http://cap.example/";
    initial.m_strDescription = "from the browser";
    frame->Workspace()->ShowAddSheet(initial);
    ASSERT_EQ(doc().Bookmarks().size(), 5u);
    EXPECT_EQ(doc().Bookmarks()[4].m_strName, "Captured");
}

} // namespace

TEST_F(PropertySheetTest, TheClipboardHotKeyOpensTheAddSheetWithTheUrlOnTheClipboard) {
    const std::size_t before = doc().Bookmarks().size();
    QString shownUrl;
    OnSheet([&](Sheet& s) {
        shownUrl = Box(s, "urlEdit")->text();
        s.accept();
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.org/a?b=1&c=2"));
    frame->Tray()->OnHotKey(brindle::kFirstGlobalHotKeyId + 3);
    EXPECT_EQ(shownUrl, "https://example.org/a?b=1&c=2");
    ASSERT_EQ(doc().Bookmarks().size(), before + 1);

    // Text that is no URL opens nothing.
    bool opened = false;
    OnSheet([&](Sheet& s) {
        opened = true;
        s.reject();
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("just some words"));
    frame->Tray()->OnHotKey(brindle::kFirstGlobalHotKeyId + 3);
    EXPECT_FALSE(opened);
    EXPECT_EQ(doc().Bookmarks().size(), before + 1);
}

TEST_F(PropertySheetTest, TheBrowserHotKeyOpensTheAddSheetWithFirefoxsCurrentPage) {
    // A home whose Firefox runs (its lock names its process) and shows one page.
    testutil::TempDirectory home;
    const std::filesystem::path profile = home.Path() / ".mozilla/firefox/p.default";
    testutil::WriteFile(home.Path() / ".mozilla/firefox/profiles.ini",
                        "[Profile0]\nName=default\nIsRelative=1\nPath=p.default\nDefault=1\n");
    testutil::WriteFile(profile / "sessionstore-backups/recovery.jsonlz4",
                        testutil::FirefoxSession("https://example.org/news", "Today's News"));
    const testutil::RunningBrowser firefox("firefox");
    std::filesystem::create_symlink(firefox.LockTarget("127.0.0.1:+"), profile / "lock");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.Path().string()));
    app.Prefs().m_nPrefer = 0; // Firefox

    QString shownName, shownUrl;
    OnSheet([&](Sheet& s) {
        shownName = Box(s, "nameEdit")->text();
        shownUrl = Box(s, "urlEdit")->text();
        s.reject();
    });
    frame->Tray()->OnHotKey(brindle::kFirstGlobalHotKeyId + 1);
    qputenv("HOME", oldHome);
    EXPECT_EQ(shownName, "Today's News");
    EXPECT_EQ(shownUrl, "https://example.org/news");
}
