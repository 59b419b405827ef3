// SPDX-License-Identifier: GPL-3.0-or-later
// The option sheet: every page's controls against the settings, the Browser tab pair, the
// format-letter menu, the status icon table, the range checks, and "&Option..." applying the
// values at once through the application.

#include "ui/options/OptionSheet.h"

#include "support/UnusualPreferences.h"

#include "app/BrindleApp.h"
#include "platform/HotKeys.h"
#include "platform/net/NetSession.h"
#include "status/StatusTable.h"
#include "store/TimeFormat.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/linkcheck/LinkCheckController.h"
#include "ui/linkcheck/ScheduleDialogs.h"
#include "ui/options/OptionPages.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/HotKeyCtrl.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <ctime>
#include <map>

using brindle::DialogRunner;
using brindle::MessageBox;

namespace {

// Every value away from its default and inside its range.
// A hot-key service that takes every key and remembers what is registered.
class RecordingHotKeys : public brindle::HotKeyService {
  public:
    bool IsAvailable() const override { return true; }
    bool Register(int id, std::uint16_t vk, std::uint16_t flags) override {
        keys[id] = {vk, flags};
        ++registrations;
        return true;
    }
    void Unregister(int id) override { keys.erase(id); }
    void UnregisterAll() override { keys.clear(); }
    bool IsRegistered(int id) const override { return keys.count(id) != 0; }

    std::map<int, std::pair<std::uint16_t, std::uint16_t>> keys;
    int registrations = 0;
};

class OptionSheetTest : public ::testing::Test {
  protected:
    void SetUp() override { MessageBox::Reset(); }
    void TearDown() override {
        DialogRunner::SetHandler({});
        MessageBox::Reset();
    }
};

TEST_F(OptionSheetTest, EveryPageShowsTheSettingsAndOkGivesThemBackUnchanged) {
    const CPreferences values = testutil::UnusualPreferences();
    COptionSheet sheet(values);
    EXPECT_EQ(sheet.windowTitle(), "Brindle Option Setting");
    ASSERT_EQ(sheet.Tabs()->count(), 5);
    EXPECT_EQ(sheet.Tabs()->tabText(2), "Status checking");
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 0);

    EXPECT_FALSE(sheet.General()->confirm->isChecked());
    EXPECT_TRUE(sheet.General()->reload->isChecked());
    EXPECT_EQ(sheet.General()->maxInTray->value(), 17);
    EXPECT_EQ(sheet.General()->timeFormat->text(), "D.m.y");
    EXPECT_EQ(sheet.General()->fontSample->text(), "Liberation Mono   12"); // -16 px at 96 dpi
    EXPECT_EQ(sheet.Browser()->program->text(), "/opt/browser one/bin/run");
    EXPECT_EQ(sheet.Browser()->locationLabel->text(), "Favorites &Folder (.url files)");
    EXPECT_FALSE(sheet.Browser()->preferred->isChecked()); // Prefer 2: not the default browser
    EXPECT_EQ(sheet.Status()->connections->value(), 8);
    EXPECT_EQ(sheet.Status()->connectionsValue->text(), "8");
    EXPECT_TRUE(sheet.Status()->dialUp->isChecked());
    EXPECT_EQ(sheet.Status()->IconOfRow(3), 14);
    EXPECT_EQ(sheet.Status()->statusList->topLevelItem(3)->text(0), "Changed");
    EXPECT_TRUE(sheet.Proxy()->useProxy->isChecked());
    EXPECT_EQ(sheet.Proxy()->port->text(), "8080");
    EXPECT_EQ(sheet.Proxy()->password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(sheet.Hotkeys()->keys[0]->VirtualKey(), 0x45);
    EXPECT_EQ(sheet.Hotkeys()->keys[0]->Flags(), 3);
    EXPECT_EQ(sheet.Hotkeys()->keys[0]->HotKeyWord(), 0x0345);

    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.Values(), values);
}

TEST_F(OptionSheetTest, EditedControlsReachTheValues) {
    COptionSheet sheet(CPreferences::Defaults());
    CGeneralOptionPage& g = *sheet.General();
    g.confirm->setChecked(false);
    g.backup->setChecked(false);
    g.fastKey->setText(QStringLiteral("later"));
    g.maxInTray->setValue(0);
    CStatusOptionPage& st = *sheet.Status();
    st.repair->setChecked(false);
    st.dialUp->setChecked(true);
    st.connections->setValue(0);
    EXPECT_EQ(st.connectionsValue->text(), "0");
    CProxyOptionPage& p = *sheet.Proxy();
    EXPECT_FALSE(p.server->isEnabled()); // no proxy: the fields are off
    p.useProxy->click();
    EXPECT_TRUE(p.server->isEnabled());
    p.server->setText(QStringLiteral("proxy.local"));
    p.port->setText(QStringLiteral("3128"));
    p.user->setText(QStringLiteral("me"));
    p.password->setText(QStringLiteral("pw"));
    sheet.Hotkeys()->keys[1]->setFocus();
    QTest::keyClick(sheet.Hotkeys()->keys[1], Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    sheet.accept();

    const CPreferences& v = sheet.Values();
    EXPECT_EQ(v.m_bConfirm, 0);
    EXPECT_EQ(v.m_bBackup, 0);
    EXPECT_EQ(v.m_strFastKey, "later");
    EXPECT_EQ(v.m_nMaxInTray, 0);
    EXPECT_EQ(v.m_bRepair, 0);
    EXPECT_EQ(v.m_nConnectMode, 1);
    EXPECT_EQ(v.m_nConnectMax, 0);
    EXPECT_EQ(v.m_bHasProxy, 1);
    EXPECT_EQ(v.m_strProxyServer, "proxy.local");
    EXPECT_EQ(v.m_nProxyPort, 3128);
    EXPECT_EQ(v.m_strProxyUser, "me");
    EXPECT_EQ(v.m_strProxyPassword, "pw");
    EXPECT_EQ(v.m_wHotKeyVk[1], 0x45); // Ctrl+Shift+E
    EXPECT_EQ(v.m_wHotKeyMods[1], 3);
}

TEST_F(OptionSheetTest, HotKeyControlTakesCombinationsAndClearsWithBackspace) {
    CHotKeyCtrl key;
    QTest::keyClick(&key, Qt::Key_Shift, Qt::ShiftModifier); // a bare modifier is no key
    EXPECT_EQ(key.VirtualKey(), 0);
    QTest::keyClick(&key, Qt::Key_F5, Qt::AltModifier);
    EXPECT_EQ(key.VirtualKey(), 0x74);
    EXPECT_EQ(key.Flags(), 4);
    EXPECT_FALSE(key.text().isEmpty());
    QTest::keyClick(&key, Qt::Key_Backspace);
    EXPECT_EQ(key.HotKeyWord(), 0);
    // Alone, Tab, Return and Escape stay the dialog's; with Ctrl they are keys.
    QTest::keyClick(&key, Qt::Key_Tab);
    QTest::keyClick(&key, Qt::Key_Escape);
    QTest::keyClick(&key, Qt::Key_Return);
    EXPECT_EQ(key.HotKeyWord(), 0);
    QTest::keyClick(&key, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(key.VirtualKey(), 0x09);
    EXPECT_EQ(key.Flags(), 2);
    key.SetHotKeyWord(0x1A2E); // Delete with Ctrl and the extended flag; bit 0x10 is no flag
    EXPECT_EQ(key.VirtualKey(), 0x2E);
    EXPECT_EQ(key.Flags(), 0x0A);
}

TEST_F(OptionSheetTest, RefusedPortKeepsTheSheetOpenOnTheProxyPage) {
    COptionSheet sheet(CPreferences::Defaults());
    sheet.Proxy()->useProxy->click();
    sheet.Proxy()->port->setText(QStringLiteral("70000"));
    MessageBox::QueueAnswer(QMessageBox::Ok);
    sheet.accept();
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.Tabs()->currentWidget(), sheet.Proxy());
    ASSERT_EQ(MessageBox::History().size(), 1u);
    EXPECT_EQ(MessageBox::History()[0].text, "Please enter an integer between 0 and 65535.");
    EXPECT_EQ(sheet.Values().m_nProxyPort, 80);
    // The tray count cannot even be typed out of its range.
    EXPECT_EQ(sheet.General()->maxInTray->maximum(), 20);
    EXPECT_EQ(sheet.Status()->connections->maximum(), 8);
}

TEST_F(OptionSheetTest, BrowserTabsKeepEditsWhenSwitching) {
    COptionSheet sheet(CPreferences::Defaults()); // Prefer 1
    CBrowserOptionPage& b = *sheet.Browser();
    EXPECT_TRUE(b.preferred->isChecked());
    b.tabs->setCurrentIndex(CBrowserOptionPage::kNetscape);
    EXPECT_EQ(b.locationLabel->text(), "&Bookmark File");
    EXPECT_FALSE(b.preferred->isChecked());
    b.program->setText(QStringLiteral("/opt/navigator"));
    b.location->setText(QStringLiteral("/home/u/bm.htm"));
    b.bypass->setChecked(false);
    b.preferred->click();
    b.tabs->setCurrentIndex(CBrowserOptionPage::kInternetExplorer);
    EXPECT_EQ(b.locationLabel->text(), "Favorites &Folder (.url files)");
    EXPECT_FALSE(b.preferred->isChecked()); // Netscape is preferred now
    b.tabs->setCurrentIndex(CBrowserOptionPage::kNetscape);
    EXPECT_EQ(b.program->text(), "/opt/navigator");
    EXPECT_TRUE(b.preferred->isChecked()); // switching did not clear it
    b.program->setText(QStringLiteral("/opt/navigator2"));
    sheet.accept(); // OK with the Netscape tab shown

    const CPreferences& v = sheet.Values();
    EXPECT_EQ(v.m_strNetscapePath, "/opt/navigator2");
    EXPECT_EQ(v.m_strNBookmarkPath, "/home/u/bm.htm");
    EXPECT_EQ(v.m_bNBypass, 0);
    EXPECT_EQ(v.m_nPrefer, 2);
    EXPECT_EQ(v.m_strIEPath, CPreferences::Defaults().m_strIEPath);
}

TEST_F(OptionSheetTest, BrowseButtonsFillTheShownBrowsersFields) {
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/navigator");
    const QString bookmarks = dir.path() + QStringLiteral("/bm.html");
    for (const QString& path : {program, bookmarks}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    std::vector<QString> titles;
    QString answer;
    DialogRunner::SetHandler([&](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files)
            return int(QDialog::Rejected);
        titles.push_back(files->windowTitle());
        if (answer.isEmpty())
            return int(QDialog::Rejected);
        files->selectFile(answer);
        return int(QDialog::Accepted);
    });
    COptionSheet sheet(CPreferences::Defaults());
    CBrowserOptionPage& b = *sheet.Browser();
    b.tabs->setCurrentIndex(CBrowserOptionPage::kNetscape);
    answer = program;
    b.programBrowse->click();
    answer = bookmarks;
    b.locationBrowse->click();
    answer.clear();
    b.tabs->setCurrentIndex(CBrowserOptionPage::kInternetExplorer);
    b.programBrowse->click(); // cancelled: nothing changes
    answer = dir.path();
    b.locationBrowse->click();
    sheet.accept();

    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0], "Firefox Program");
    EXPECT_EQ(titles[1], "Bookmark File Location");
    EXPECT_EQ(titles[2], "Browser Program");
    EXPECT_EQ(titles[3], "Favorites Folder");
    EXPECT_EQ(sheet.Values().m_strNetscapePath, program.toStdString());
    EXPECT_EQ(sheet.Values().m_strNBookmarkPath, bookmarks.toStdString());
    EXPECT_EQ(sheet.Values().m_strIEPath, CPreferences::Defaults().m_strIEPath);
    EXPECT_EQ(sheet.Values().m_strFavPath, dir.path().toStdString());
}

TEST_F(OptionSheetTest, FormatMenuInsertsLettersAndThePreviewFollows) {
    COptionSheet sheet(CPreferences::Defaults());
    CGeneralOptionPage& g = *sheet.General();
    g.timeFormat->clear();
    QAction* hour12 = nullptr;
    for (QAction* a : g.FormatMenu()->actions())
        if (a->data().toInt() == 32872)
            hour12 = a;
    ASSERT_NE(hour12, nullptr);
    EXPECT_EQ(hour12->text(), "&Hour(1-12)");
    const std::string before = brindle::FormatTime(std::time(nullptr), "%I ");
    hour12->trigger();
    const std::string after = brindle::FormatTime(std::time(nullptr), "%I ");
    EXPECT_EQ(g.timeFormat->text(), "I ");
    const QString shown = g.preview->text();
    EXPECT_TRUE(shown == QString::fromStdString(before) || shown == QString::fromStdString(after))
        << shown.toStdString();
    const int hour = shown.trimmed().toInt();
    EXPECT_GE(hour, 1);
    EXPECT_LE(hour, 12);

    // Inserted at the start of the selection.
    g.timeFormat->setText(QStringLiteral("D.m"));
    g.timeFormat->setSelection(2, 1);
    g.InsertFormatLetter(QStringLiteral("Y"));
    EXPECT_EQ(g.timeFormat->text(), "D.Y m");
}

TEST_F(OptionSheetTest, FontDialogChoiceReplacesTheFontAndTheSample) {
    COptionSheet sheet(CPreferences::Defaults());
    DialogRunner::SetHandler([](QDialog& dialog) {
        auto* fonts = qobject_cast<QFontDialog*>(&dialog);
        if (!fonts)
            return int(QDialog::Rejected);
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPointSize(14);
        fonts->setCurrentFont(f);
        return int(QDialog::Accepted);
    });
    sheet.General()->fontButton->click();
    EXPECT_EQ(sheet.General()->fontSample->text(), "DejaVu Serif   14");
    sheet.accept();
    EXPECT_EQ(sheet.Values().m_logFont.lfFaceName, "DejaVu Serif");
    EXPECT_EQ(sheet.Values().m_nFontSize, 140);
}

TEST_F(OptionSheetTest, IconRadiosFollowAndChangeTheSelectedStatus) {
    COptionSheet sheet(CPreferences::Defaults());
    CStatusOptionPage& st = *sheet.Status();
    st.IconButton(9)->click(); // no row selected: nothing changes
    EXPECT_EQ(sheet.Values().m_arrStatusIcons, CPreferences::DefaultStatusIcons());
    st.statusList->setCurrentItem(st.statusList->topLevelItem(16));
    EXPECT_TRUE(st.IconButton(3)->isChecked());                    // status 16 shows icon 3
    st.statusList->setCurrentItem(st.statusList->topLevelItem(3)); // "Changed"
    EXPECT_TRUE(st.IconButton(3)->isChecked());
    st.IconButton(15)->click();
    EXPECT_EQ(st.IconOfRow(3), 15);
    sheet.accept();
    EXPECT_EQ(sheet.Values().m_arrStatusIcons[3], (15u << 16) + 3);
    EXPECT_EQ(sheet.Values().m_arrStatusIcons[16], CPreferences::DefaultStatusIcons()[16]);
}

TEST_F(OptionSheetTest, PlainTextNoticeShowsOnlyWhenAskedAndAProxyIsUsed) {
    COptionSheet sheet(CPreferences::Defaults());
    sheet.show();
    sheet.Tabs()->setCurrentWidget(sheet.Proxy());
    EXPECT_FALSE(sheet.Proxy()->plainTextNotice->isVisible());
    sheet.SetPasswordInPlainText(true);
    EXPECT_FALSE(sheet.Proxy()->plainTextNotice->isVisible()); // "No Proxy": no password used
    sheet.Proxy()->useProxy->click();
    EXPECT_TRUE(sheet.Proxy()->plainTextNotice->isVisible());
    sheet.Proxy()->noProxy->click();
    EXPECT_FALSE(sheet.Proxy()->plainTextNotice->isVisible());
}

// --- "&Option..." through the application -----------------------------------------------

class ApplyOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::Reset();
        ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
        frame = app.Frame();
        frame->Tray()->SetHotKeyService(&hotKeys);
        // Shown in name order: the two "Changed" rows first.
        const char* const rows[][2] = {
            {"a one", "Changed"}, {"c three", "Waiting"}, {"b two", "Changed"}};
        for (const auto& r : rows)
            app.Doc().AddBookmark({.name = r[0],
                                   .url = "http://example/",
                                   .keywords = "web",
                                   .statusChecking = 1,
                                   .schedule = "<None>",
                                   .status = r[1]});
        app.Doc().Search("web", false, 0);
        app.Doc().RefreshViews();
        ASSERT_EQ(frame->Workspace()->Bookmarks()->Model()->rowCount(), 3);
    }
    void TearDown() override {
        frame->Tray()->SetHotKeyService(nullptr);
        DialogRunner::SetHandler({});
        MessageBox::Reset();
    }
    // Runs "&Option..." with `edit` filling in the sheet and `answer` closing it.
    void RunOptions(const std::function<void(COptionSheet&)>& edit, int answer) {
        DialogRunner::SetHandler([&](QDialog& dialog) {
            if (auto* fonts = qobject_cast<QFontDialog*>(&dialog))
                return fontAnswer ? fontAnswer(*fonts) : int(QDialog::Rejected);
            auto* sheet = qobject_cast<COptionSheet*>(&dialog);
            if (!sheet)
                return int(QDialog::Rejected);
            edit(*sheet);
            if (answer == QDialog::Accepted) {
                sheet->accept();
                return sheet->result();
            }
            sheet->reject();
            return int(QDialog::Rejected);
        });
        ASSERT_TRUE(frame->Commands().IsEnabled(cmd::Option));
        frame->Commands().Execute(cmd::Option);
    }
    QIcon RowIcon(int row) {
        BookmarkListModel* model = frame->Workspace()->Bookmarks()->Model();
        return model->data(model->index(row, 0), Qt::DecorationRole).value<QIcon>();
    }

    CBrindleApp app;
    CMainFrame* frame = nullptr;
    RecordingHotKeys hotKeys;
    std::function<int(QFontDialog&)> fontAnswer;
};

TEST_F(ApplyOptionsTest, CancelChangesNothing) {
    const CPreferences before = app.Prefs();
    const QFont font = frame->Workspace()->Bookmarks()->font();
    RunOptions(
        [](COptionSheet& sheet) {
            sheet.General()->confirm->setChecked(false);
            sheet.Status()->connections->setValue(0);
            sheet.Hotkeys()->keys[0]->SetHotKey(0x45, 3);
        },
        QDialog::Rejected);
    EXPECT_EQ(app.Prefs(), before);
    EXPECT_EQ(frame->Workspace()->Bookmarks()->font(), font);
    EXPECT_EQ(hotKeys.registrations, 0);
}

TEST_F(ApplyOptionsTest, OkAppliesFontHotKeysAndStatusIconsAtOnce) {
    const QIcon waiting = RowIcon(2);
    const QIcon changedBefore = RowIcon(0);
    RunOptions(
        [](COptionSheet& sheet) {
            sheet.General()->confirm->setChecked(false);
            sheet.Hotkeys()->keys[0]->SetHotKey(0x45, 3);
            sheet.Hotkeys()->keys[3]->SetHotKey(0x70, 4);
            sheet.Status()->statusList->setCurrentItem(sheet.Status()->statusList->topLevelItem(3));
            sheet.Status()->IconButton(0)->click(); // "Changed" shows the icon of "Waiting"
        },
        QDialog::Accepted);
    EXPECT_EQ(app.Prefs().m_bConfirm, 0);
    EXPECT_EQ(app.Doc().Prefs().m_bConfirm, 0); // the document reads the same object
    // Hot keys registered again: ids 1050 and 1053 with the new keys.
    ASSERT_EQ(hotKeys.keys.count(1050), 1u);
    EXPECT_EQ(hotKeys.keys[1050], std::make_pair(std::uint16_t(0x45), std::uint16_t(3)));
    EXPECT_EQ(hotKeys.keys[1053], std::make_pair(std::uint16_t(0x70), std::uint16_t(4)));
    EXPECT_EQ(hotKeys.keys.count(1051), 0u);
    // Both "Changed" rows now show the "Waiting" icon.
    EXPECT_EQ(RowIcon(0).cacheKey(), waiting.cacheKey());
    EXPECT_EQ(RowIcon(1).cacheKey(), waiting.cacheKey());
    EXPECT_NE(changedBefore.cacheKey(), waiting.cacheKey());
}

TEST_F(ApplyOptionsTest, SetStatusCheckingCommandWritesTheSelectedRows) {
    app.Doc().AddSchedule("Weekly", 0, false);
    app.Doc().SetModifiedFlag(false);
    CBookMarkView* view = frame->Workspace()->Bookmarks();
    view->selectRow(1);
    frame->Commands().UpdateStates();
    ASSERT_TRUE(frame->Commands().IsEnabled(cmd::SetStatusChecking));
    DialogRunner::SetHandler([](QDialog& dialog) {
        auto* set = qobject_cast<CSetStatusDlg*>(&dialog);
        if (!set)
            return int(QDialog::Rejected);
        set->enable->setChecked(false);
        set->schedules->setCurrentIndex(1);
        set->accept();
        return set->result();
    });
    frame->Commands().Execute(cmd::SetStatusChecking);
    EXPECT_TRUE(app.Doc().IsModified());
    const int bookmark = view->Model()->BookmarkAt(1);
    ASSERT_GE(bookmark, 0);
    EXPECT_EQ(app.Doc().GetFieldText(bookmark, kFieldSchedule), "Weekly");
    EXPECT_EQ(app.Doc().GetFieldText(bookmark, kFieldStatus), "Checking off");
    EXPECT_EQ(app.Doc().GetFieldText(view->Model()->BookmarkAt(0), kFieldStatus), "Changed");

    view->clearSelection();
    frame->Commands().UpdateStates();
    EXPECT_FALSE(frame->Commands().IsEnabled(cmd::SetStatusChecking));
}

TEST_F(ApplyOptionsTest, OkAppliesANewListFont) {
    fontAnswer = [](QFontDialog& fonts) {
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPointSize(15);
        fonts.setCurrentFont(f);
        return int(QDialog::Accepted);
    };
    RunOptions([](COptionSheet& sheet) { sheet.General()->fontButton->click(); },
               QDialog::Accepted);
    const QFont font = frame->Workspace()->Bookmarks()->font();
    EXPECT_EQ(font.family(), "DejaVu Serif");
    EXPECT_EQ(font.pointSize(), 15);
}

} // namespace

TEST_F(ApplyOptionsTest, OkClosesTheInternetSessionSoTheNextRunUsesTheNewProxy) {
    brindle::NetSession& session = frame->LinkChecks()->Session();
    ASSERT_TRUE(session.Open(brindle::SessionSettings{}));
    RunOptions([](COptionSheet&) {}, QDialog::Rejected);
    EXPECT_TRUE(session.IsOpen()); // Cancel leaves it alone
    RunOptions([](COptionSheet&) {}, QDialog::Accepted);
    EXPECT_FALSE(session.IsOpen());
    const QString connection = frame->Panes()->Text(2);
    EXPECT_TRUE(connection == "ONLINE" || connection == "OFFLINE") << connection.toStdString();
}
