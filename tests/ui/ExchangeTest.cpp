// SPDX-License-Identifier: GPL-3.0-or-later
// Import, export and the import wizard from the window, driven offscreen with the file
// dialogs, message boxes and dialogs answered in advance.

#include "support/MozLz4.h"
#include "support/PlacesFixture.h"
#include "support/RunningBrowser.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include "app/BrindleApp.h"
#include "exchange/BrowserSession.h"
#include "store/BrindleDoc.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/exchange/BrowserCapture.h"
#include "ui/exchange/ExchangeController.h"
#include "ui/exchange/ExportDialog.h"
#include "ui/exchange/ImportWizard.h"
#include "ui/exchange/SelectUserDialog.h"
#include "ui/widgets/CheckListCtrl.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

const char* const kNetscapeFile =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n"
    "<DT><H3>Work</H3>\n<DL><p>\n"
    "<DT><A HREF=\"http://Work.example/A\" ADD_DATE=\"1000\">Work Page</A>\n"
    "</DL><p>\n<DT><A HREF=\"http://home.example/\">Home</A>\n</DL>\n";

const char* const kPowermarksFile = "<!--Powermarks Format 3.0-->\n"
                                    "<DT><A HREF=\"http://pm.example/\">Powermark Site</A>\n";

std::vector<std::string> Names(const CBrindleDoc& doc) {
    std::vector<std::string> names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace_back(b.m_strName);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<QString> Texts() {
    std::vector<QString> texts;
    for (const auto& asked : brindle::MessageBox::History())
        texts.push_back(asked.text);
    return texts;
}

class ExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        brindle::MessageBox::Reset();
        brindle::FileDialogs::Reset();
        brindle::DialogRunner::SetHandler({});
    }
    void TearDown() override {
        brindle::MessageBox::Reset();
        brindle::FileDialogs::Reset();
        brindle::DialogRunner::SetHandler({});
        if (app)
            app->Doc().SetModifiedFlag(false);
    }
    void Start() {
        app = std::make_unique<CBrindleApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
        frame = app->Frame();
    }
    CBrindleDoc& doc() { return app->Doc(); }
    void Add(const char* name, const char* url) {
        doc().AddBookmark({.name = name,
                           .url = url,
                           .keywords = "k",
                           .statusChecking = 1,
                           .schedule = kNoSchedule,
                           .status = "Waiting",
                           .addDate = 1000});
    }

    testutil::TempDirectory dir;
    std::unique_ptr<CBrindleApp> app;
    CMainFrame* frame = nullptr;
};

TEST_F(ExchangeTest, ImportOfTwoFilesShowsProgressAndCounts) {
    Start();
    testutil::WriteFile(dir.Path() / "a.htm", kNetscapeFile);
    testutil::WriteFile(dir.Path() / "b.html", kPowermarksFile);
    brindle::FileDialogs::QueueAnswer(
        QString::fromStdString(dir.File("a.htm") + "\n" + dir.File("b.html")));
    frame->Action(cmd::Import)->trigger();
    EXPECT_THAT(brindle::FileDialogs::Titles(), ElementsAre("Import Files"));
    EXPECT_TRUE(brindle::MessageBox::History().empty());
    EXPECT_THAT(Names(doc()), ElementsAre("Home", "Powermark Site", "Work Page"));
    // The last HTML file moved the bar through its three steps.
    EXPECT_THAT(frame->Exchange()->ProgressTrace(), ElementsAre(5, 12, 20));
    EXPECT_EQ(frame->findChild<QWidget*>(QStringLiteral("importProgress")), nullptr);
    // The search ran again: the list and the counts show the new bookmarks.
    EXPECT_EQ(frame->Workspace()->Bookmarks()->Model()->rowCount(), 3);
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneResultCount), "3 of 3 bookmarks");
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt),
              "Imported 3 bookmarks from 2 files (0 already there)");

    // The same file again: everything is already there, and the pane says so.
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(dir.File("a.htm")));
    frame->Action(cmd::Import)->trigger();
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt),
              "Imported 0 bookmarks from 1 file (2 already there)");
}

TEST_F(ExchangeTest, AFailedFileIsNamedAndTheNextOneStillRead) {
    Start();
    testutil::WriteFile(dir.Path() / "b.htm", kNetscapeFile);
    testutil::WriteFile(dir.Path() / "x.url", "[Other]\r\n");
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(
        dir.File("missing.htm") + "\n" + dir.File("x.url") + "\n" + dir.File("b.htm")));
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    frame->Action(cmd::Import)->trigger();
    EXPECT_THAT(Texts(), ElementsAre(QString::fromStdString(dir.File("missing.htm")) +
                                         QStringLiteral("\ncannot open the file"),
                                     QString::fromStdString(dir.File("x.url")) +
                                         QStringLiteral("\nCannot open this file as a URL file")));
    EXPECT_EQ(brindle::MessageBox::History()[0].icon, brindle::MessageBox::Icon::Stop);
    EXPECT_THAT(Names(doc()), ElementsAre("Home", "Work Page"));
}

TEST_F(ExchangeTest, AHostilePlacesDatabaseIsNamedAndChangesNothing) {
    Start();
    const std::string places = dir.File("places.sqlite");
    {
        testutil::PlacesFixture f(places);
        testutil::FillPlaces(f);
        f.MakePlacesAnEndlessView();
    }
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(places));
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    frame->Action(cmd::Import)->trigger();
    EXPECT_THAT(Texts(), ElementsAre(QString::fromStdString(places) +
                                     QStringLiteral("\ncannot open the file")));
    EXPECT_EQ(brindle::MessageBox::History()[0].icon, brindle::MessageBox::Icon::Stop);
    EXPECT_TRUE(doc().Bookmarks().empty());
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(ExchangeTest, AFileOfAnotherKindEndsTheImportKeepingEarlierOnes) {
    Start();
    testutil::WriteFile(dir.Path() / "a.htm", kNetscapeFile);
    testutil::WriteFile(dir.Path() / "c.htm", kPowermarksFile);
    testutil::WriteFile(dir.Path() / "Bookmark.HTM", kPowermarksFile);
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(
        dir.File("a.htm") + "\n" + dir.File("Bookmark.HTM") + "\n" + dir.File("c.htm")));
    frame->Action(cmd::Import)->trigger();
    EXPECT_THAT(Names(doc()), ElementsAre("Home", "Work Page"));
}

TEST_F(ExchangeTest, ImportFavoritesWalksTheFolder) {
    Start();
    testutil::WriteFile(dir.Path() / "Fav" / "Links" / "news.url",
                        "[InternetShortcut]\r\nURL=http://News.example/\r\n");
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(dir.File("Fav")));
    frame->Action(cmd::ImportFavorites)->trigger();
    EXPECT_THAT(brindle::FileDialogs::Titles(),
                ElementsAre("Select a directory for import favorite file"));
    EXPECT_THAT(Names(doc()), ElementsAre("news"));
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt), "Import Favorites Done");
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneResultCount), "1 of 1 bookmarks");
}

TEST_F(ExchangeTest, ExportOfEachFormatAsksBeforeOverwriting) {
    Start();
    Add("Beta", "http://b.example/");
    Add("Alpha", "http://a.example/");
    doc().Search("", false, 0);
    struct Case {
        int format;
        std::string target;
        const char* question;
        std::string written; // a file the export writes
    };
    const Case cases[] = {
        {CExportDlg::Netscape, dir.File("n.htm"),
         "The file you specify already exists.\nDo you want to overwrite it?", dir.File("n.htm")},
        {CExportDlg::Powermarks, dir.File("p.htm"),
         "The file you specify already exists.\nDo you want to overwrite it?", dir.File("p.htm")},
        {CExportDlg::NormalHtml, dir.File("h.html"),
         "The file you specify already exists.\nDo you want to overwrite it?", dir.File("h.html")},
        {CExportDlg::Text, dir.File("t.txt"),
         "The file you specify already exists.\nDo you want to overwrite it?", dir.File("t.txt")},
        {CExportDlg::Favorites, dir.File("fav/new"),
         "The directory you specify is invalid,sure to create it?",
         dir.File("fav/new/Brindle_addin/Alpha.url")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        if (c.format != CExportDlg::Favorites)
            testutil::WriteFile(c.target, "old");
        brindle::MessageBox::Reset();
        bool stayedOnNo = false;
        brindle::DialogRunner::SetHandler([&](QDialog& d) {
            auto& dialog = dynamic_cast<CExportDlg&>(d);
            dialog.SetFormat(c.format);
            dialog.SetFileName(QString::fromStdString(c.target));
            brindle::MessageBox::QueueAnswer(QMessageBox::No);
            dialog.accept();
            stayedOnNo = dialog.result() != QDialog::Accepted;
            brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
            brindle::MessageBox::QueueAnswer(QMessageBox::Ok); // the success message
            dialog.accept();
            return dialog.result();
        });
        frame->Action(cmd::Export)->trigger();
        EXPECT_TRUE(stayedOnNo);
        EXPECT_THAT(Texts(), ElementsAre(c.question, c.question, "Export is successful"));
        ASSERT_TRUE(testutil::Exists(c.written));
        EXPECT_NE(testutil::ReadFile(c.written), "old");
    }
    // Sorted by name A-Z, the default: Alpha before Beta.
    const std::string netscape = testutil::ReadFile(dir.File("n.htm"));
    EXPECT_LT(netscape.find("Alpha"), netscape.find("Beta"));
}

TEST_F(ExchangeTest, ExportDialogTextsFollowFormatAndScope) {
    CExportDlg dialog;
    EXPECT_EQ(dialog.Description(), CExportDlg::FormatDescription(CExportDlg::Netscape));
    EXPECT_TRUE(dialog.Description().startsWith("Export all bookmarks to a Netscape"));
    dialog.SetFormat(CExportDlg::Powermarks);
    dialog.SetSelectedScope(true);
    EXPECT_EQ(dialog.Description(),
              "Export selected bookmarks to a Powermarks 3.0 file; this format keeps the fields "
              "you choose");
    dialog.SetSelectedScope(false);
    EXPECT_EQ(dialog.Description(),
              "Export all bookmarks to a Powermarks 3.0 file; this format keeps the fields you "
              "choose");
    dialog.SetFormat(CExportDlg::Favorites);
    EXPECT_FALSE(dialog.findChild<QWidget*>(QStringLiteral("optionButton"))->isEnabled());
    EXPECT_FALSE(dialog.findChild<QWidget*>(QStringLiteral("title"))->isEnabled());
    EXPECT_EQ(dialog.Options().sortField, "");

    // A path naming a folder only is refused.
    dialog.SetFormat(CExportDlg::Text);
    dialog.SetFileName(QStringLiteral("/tmp/"));
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_THAT(Texts(), ElementsAre("Please select a format and specify the file name"));

    // The field pane gives the mask and the order.
    dialog.ToggleOptions();
    EXPECT_TRUE(dialog.OptionsOpen());
    auto* fields = dialog.findChild<CCheckListCtrl*>(QStringLiteral("fields"));
    fields->SetChecked(0, false);
    dialog.findChild<QComboBox*>(QStringLiteral("fieldSort"))->setCurrentIndex(8);
    const brindle::ExportOptions o = dialog.Options();
    EXPECT_EQ(o.fieldMask, 0x0FFE);
    EXPECT_EQ(o.sortField, "Add date");
    // Every field's row is in view without scrolling.
    dialog.show();
    QApplication::processEvents();
    const QRect last =
        fields->visualItemRect(fields->topLevelItem(fields->topLevelItemCount() - 1));
    EXPECT_LE(last.bottom(), fields->viewport()->height()) << fields->viewport()->height();

    // Browse starts at the path typed, for a file and for a folder.
    dialog.SetFileName(QStringLiteral("/tmp/typed/marks.txt"));
    brindle::FileDialogs::QueueAnswer(QString());
    dialog.findChild<QToolButton*>(QStringLiteral("browse"))->click();
    dialog.SetFormat(CExportDlg::Favorites);
    dialog.SetFileName(QStringLiteral("/tmp/typed"));
    brindle::FileDialogs::QueueAnswer(QString());
    dialog.findChild<QToolButton*>(QStringLiteral("browse"))->click();
    EXPECT_THAT(brindle::FileDialogs::Starts(), ElementsAre("/tmp/typed/marks.txt", "/tmp/typed"));
}

TEST_F(ExchangeTest, ExportIntoProfilesThroughTheSelectUserDialog) {
    testutil::ScopedEnv home("HOME", QByteArray::fromStdString(dir.Path().string()));
    const fs::path firefox = dir.Path() / ".mozilla" / "firefox";
    testutil::WriteFile(firefox / "profiles.ini",
                        "[Profile1]\nName=zed\nIsRelative=1\nPath=b.zed\n\n"
                        "[Profile0]\nName=amy\nIsRelative=1\nPath=a.amy\nDefault=1\n");
    testutil::WriteFile(firefox / "a.amy" / "compatibility.ini",
                        "[Compatibility]\nLastVersion=128.0_20240704/20240704\n");
    fs::create_directories(firefox / "b.zed");
    Start();
    Add("Alpha", "http://a.example/");
    brindle::DialogRunner::SetHandler([&](QDialog& d) {
        if (auto* users = dynamic_cast<CSelectUserDlg*>(&d)) {
            EXPECT_EQ(users->UserList()->topLevelItem(0)->text(0), "amy");
            EXPECT_EQ(users->findChild<QLabel*>(QStringLiteral("versionText"))->text(), "128.0");
            users->UserList()->SetChecked(0, true);
            users->UserList()->SetChecked(1, true);
            users->accept();
            return int(QDialog::Accepted);
        }
        auto& dialog = dynamic_cast<CExportDlg&>(d);
        dialog.ToggleOptions();
        dialog.findChild<QCheckBox*>(QStringLiteral("netscapeUser"))->click();
        EXPECT_EQ(dialog.FileName(), "Bookmark file of the chosen Firefox profiles");
        brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
        dialog.accept();
        return dialog.result();
    });
    frame->Action(cmd::Export)->trigger();
    EXPECT_THAT(Texts(), ElementsAre("Export Information:\nTotal file number:2\nSuccessful "
                                     "exporting files number:2"));
    EXPECT_NE(testutil::ReadFile(firefox / "a.amy" / "bookmark.htm").find("http://a.example/"),
              std::string::npos);
    EXPECT_TRUE(testutil::Exists(firefox / "b.zed" / "bookmark.htm"));
}

TEST_F(ExchangeTest, TheFirstStartOffersTheWizardWhichImportsTheChosenSources) {
    testutil::TempXdgHome xdg;
    const fs::path home = xdg.Path().toStdString();
    testutil::ScopedEnv homeEnv("HOME", xdg.Path().toUtf8());
    testutil::WriteFile(home / "Favorites" / "Tools" / "fav site.url",
                        "[InternetShortcut]\r\nURL=http://fav.example/\r\n");
    const fs::path firefox = home / ".mozilla" / "firefox";
    testutil::WriteFile(firefox / "profiles.ini",
                        "[Profile0]\nName=default\nIsRelative=1\nPath=p0.default\n\n"
                        "[Profile1]\nName=work\nIsRelative=1\nPath=p1.work\n");
    testutil::WriteFile(firefox / "p0.default" / "bookmark.htm", kNetscapeFile);
    testutil::WriteFile(firefox / "p1.work" / "bookmark.htm",
                        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                        "<DT><A HREF=\"http://second.example/\">Second User</A>\n</DL>\n");
    testutil::WriteFile(xdg.Config().toStdString() + "/chromium/Default/Bookmarks",
                        R"({"roots": {"bookmark_bar": {"type": "folder", "name": "Bar",
                          "children": [{"type": "url", "name": "Chromium Site",
                                        "url": "http://chromium.example/"}]}}})");
    const std::string powermarks = (home / "pm.htm").string();
    testutil::WriteFile(powermarks, kPowermarksFile);

    std::vector<QString> offered;
    brindle::DialogRunner::SetHandler([&](QDialog& d) {
        auto& wizard = dynamic_cast<CImportWizSheet&>(d);
        EXPECT_EQ(wizard.windowTitle(), "Import Wizard");
        // Favorites found and ticked; the users' files found; Powermarks off.
        EXPECT_TRUE(wizard.FavoritesPage()->Check()->isChecked());
        EXPECT_TRUE(wizard.NetscapePage()->Check()->isChecked());
        EXPECT_TRUE(wizard.NetscapePage()->AllUsers()->isEnabled());
        EXPECT_FALSE(wizard.PowermarksPage()->Location()->isEnabled());
        QComboBox* users = wizard.NetscapePage()->Location();
        for (int i = 0; i < users->count(); ++i)
            offered.push_back(users->itemText(i));
        wizard.NetscapePage()->AllUsers()->setChecked(true);
        EXPECT_FALSE(users->isEnabled());
        wizard.PowermarksPage()->Check()->setChecked(true);
        wizard.PowermarksPage()->Location()->setText(QString::fromStdString(powermarks));
        return int(QDialog::Accepted);
    });
    StartOptions options = StartOptions::Quiet();
    options.userSettings = true;
    app = std::make_unique<CBrindleApp>();
    ASSERT_TRUE(app->InitInstance({QStringLiteral("brindle")}, options));
    frame = app->Frame();
    ASSERT_TRUE(app->FirstRunWizardWanted());
    // The wizard comes once the event loop runs.
    for (int i = 0; i < 500 && doc().Bookmarks().empty(); ++i)
        QTest::qWait(10);
    ASSERT_EQ(doc().Bookmarks().size(), 6u) << ::testing::PrintToString(Names(doc()));
    EXPECT_THAT(Names(doc()), ElementsAre("Chromium Site", "Home", "Powermark Site", "Second User",
                                          "Work Page", "fav site"));
    EXPECT_EQ(offered.size(), 3u);
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneResultCount), "6 of 6 bookmarks");

    // The second start offers nothing.
    CBrindleApp second;
    ASSERT_TRUE(second.InitInstance({QStringLiteral("brindle")}, options));
    EXPECT_FALSE(second.FirstRunWizardWanted());
}

TEST_F(ExchangeTest, FastAddTakesTheBrowsersPagesAndAddFromBrowserBuildsTheSheetsBookmark) {
    Start();
    doc().Prefs(); // defaults: "Prefer" 1, "FastKey" "fastadd"
    const brindle::BrowserPageSource pages = [](const std::string& service) -> std::string {
        if (service == "NETSCAPE")
            return brindle::BrowserReply("http://Firefox.example/Page", "Firefox, Page");
        return "\"\",\"\"";
    };
    EXPECT_EQ(brindle::FastAddFromBrowsers(doc(), pages), 1);
    ASSERT_EQ(doc().Bookmarks().size(), 1u);
    const BookmarkRef b = doc().Bookmarks()[0];
    EXPECT_EQ(b.m_strName, "Firefox, Page");
    EXPECT_EQ(b.m_strURL, "http://Firefox.example/Page");
    EXPECT_EQ(b.m_strStatus, "Waiting");
    EXPECT_EQ(b.m_strSchedule, "<None>");
    EXPECT_TRUE(doc().IsModified());

    // Add from Browser asks the preferred browser only: the default one gives nothing here.
    EXPECT_FALSE(brindle::CaptureBrowserBookmark(doc(), pages));
    app->Prefs().m_nPrefer = 0;
    const auto proposed = brindle::CaptureBrowserBookmark(doc(), pages);
    ASSERT_TRUE(proposed);
    EXPECT_EQ(proposed->m_strURL, "http://Firefox.example/Page");
    EXPECT_EQ(proposed->m_strKeywords, "fastadd Firefox Page"); // the sheet takes them as they are
    EXPECT_EQ(proposed->m_strStatus, "Checking Off");           // no default schedule
    EXPECT_GT(proposed->m_tLastChecked, 0);

    const auto fromClipboard =
        brindle::ClipboardBookmark(doc(), QStringLiteral("  https://Clip.example/a?b=1 \n"));
    ASSERT_TRUE(fromClipboard);
    EXPECT_EQ(fromClipboard->m_strURL, "https://Clip.example/a?b=1");
    for (const char* text : {"", "just words", "javascript:alert(1)", "http://", "a\nhttp://b/"})
        EXPECT_FALSE(brindle::ClipboardBookmark(doc(), QString::fromUtf8(text))) << text;
}

} // namespace

TEST_F(ExchangeTest, FastAddHotKeyAndTrayCaptureFirefoxsCurrentPage) {
    testutil::TempXdgHome xdg;
    testutil::ScopedEnv homeEnv("HOME", xdg.Path().toUtf8());
    const fs::path firefox = fs::path(xdg.Path().toStdString()) / ".mozilla" / "firefox";
    testutil::WriteFile(firefox / "profiles.ini",
                        "[Profile0]\nName=default\nIsRelative=1\nPath=p.default\nDefault=1\n");
    testutil::WriteFile(firefox / "p.default/sessionstore-backups/recovery.jsonlz4",
                        testutil::MozLz4(R"({"windows": [{"selected": 1, "tabs": [{"index": 1,
                           "entries": [{"url": "https://Current.example/", "title": "Now Open"}]}]}]})"));
    Start();
    frame->Action(cmd::FastAdd)->trigger(); // Firefox is not running: nothing, and it says so
    EXPECT_TRUE(doc().Bookmarks().empty());
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt), brindle::NoBrowserPageText());
    // Firefox runs: its profile's lock names its process.
    const testutil::RunningBrowser running("firefox");
    fs::create_symlink(running.LockTarget("127.0.0.1:+"), firefox / "p.default/lock");
    frame->Action(cmd::FastAdd)->trigger();
    ASSERT_EQ(doc().Bookmarks().size(), 1u);
    EXPECT_EQ(doc().Bookmarks()[0].m_strURL, "https://Current.example/");
    EXPECT_EQ(doc().Bookmarks()[0].m_strName, "Now Open");
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneResultCount), "1 of 1 bookmarks");
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt), "Fast Add: 1 bookmark added");

    // The next page from the hot key, then again from the tray: the document keeps one copy.
    testutil::WriteFile(firefox / "p.default/sessionstore-backups/recovery.jsonlz4",
                        testutil::MozLz4(R"({"windows": [{"tabs": [{"entries": [
                           {"url": "http://next.example/", "title": "Next"}]}]}]})"));
    frame->Tray()->OnHotKey(1052);
    frame->Action(cmd::TrayFastAdd)->trigger();
    EXPECT_EQ(doc().Bookmarks().size(), 2u);
    EXPECT_EQ(doc().Bookmarks()[1].m_strURL, "http://next.example/");
}

TEST_F(ExchangeTest, WizardPagesWithNothingFound) {
    testutil::TempXdgHome xdg;
    testutil::ScopedEnv homeEnv("HOME", xdg.Path().toUtf8());
    CImportWizSheet wizard(brindle::FindWizardSources());
    // Each page says what it looked for.
    for (QWizardPage* page : {static_cast<QWizardPage*>(wizard.FavoritesPage()),
                              static_cast<QWizardPage*>(wizard.NetscapePage())}) {
        auto* note = page->findChild<QLabel*>(QStringLiteral("notFoundNote"));
        ASSERT_NE(note, nullptr) << page->objectName().toStdString();
        EXPECT_TRUE(note->text().startsWith(QStringLiteral("No "))) << note->text().toStdString();
    }
    EXPECT_TRUE(wizard.FavoritesPage()
                    ->findChild<QLabel*>(QStringLiteral("notFoundNote"))
                    ->text()
                    .contains(xdg.Path() + QStringLiteral("/Favorites")));
    EXPECT_FALSE(wizard.FavoritesPage()->Check()->isChecked());
    EXPECT_FALSE(wizard.FavoritesPage()->Location()->isEnabled());
    CImportWiz3* netscape = wizard.NetscapePage();
    EXPECT_FALSE(netscape->Check()->isChecked());
    EXPECT_FALSE(netscape->Location()->isEnabled());
    EXPECT_FALSE(netscape->BrowseButton()->isEnabled());
    EXPECT_FALSE(netscape->AllUsers()->isEnabled());
    // Ticked by hand: a file can be chosen, but "all users" stays off with no users found.
    netscape->Check()->setChecked(true);
    EXPECT_TRUE(netscape->Location()->isEnabled());
    EXPECT_FALSE(netscape->AllUsers()->isEnabled());
    brindle::FileDialogs::QueueAnswer(QStringLiteral("/some/bookmark.htm"));
    netscape->BrowseButton()->click();
    EXPECT_THAT(brindle::FileDialogs::Titles(), ElementsAre("Select Bookmark File"));
    EXPECT_THAT(brindle::FileDialogs::Starts(), ElementsAre("bookmark.htm"));
    const brindle::WizardChoices c = wizard.Choices();
    EXPECT_TRUE(c.netscape);
    EXPECT_FALSE(c.allUsers);
    EXPECT_EQ(c.netscapeFile, "/some/bookmark.htm");
    EXPECT_FALSE(c.powermarks);
}

TEST_F(ExchangeTest, ASelectedExportWritesTheSelectedRows) {
    Start();
    Add("Beta", "http://b.example/");
    Add("Alpha", "http://a.example/");
    Add("Gamma", "http://c.example/");
    doc().Search("", false, 0); // rows by name: Alpha, Beta, Gamma
    CBookMarkView* view = frame->Workspace()->Bookmarks();
    for (int row : {0, 2})
        view->selectionModel()->select(view->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::string target = dir.File("selected.txt");
    brindle::DialogRunner::SetHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<CExportDlg&>(d);
        dialog.SetFormat(CExportDlg::Text);
        dialog.SetSelectedScope(true);
        dialog.SetFileName(QString::fromStdString(target));
        brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
        dialog.accept();
        return dialog.result();
    });
    frame->Action(cmd::Export)->trigger();
    EXPECT_THAT(Texts(), ElementsAre("Export is successful"));
    const std::string text = testutil::ReadFile(target);
    EXPECT_NE(text.find("http://a.example/"), std::string::npos);
    EXPECT_NE(text.find("http://c.example/"), std::string::npos);
    EXPECT_EQ(text.find("http://b.example/"), std::string::npos);
}
