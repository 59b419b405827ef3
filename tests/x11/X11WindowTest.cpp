// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a real X server: the test program starts its own Xvfb with a system tray on it
// (trayer, which owns _NET_SYSTEM_TRAY_S0 and embeds the icons that dock) and runs the window
// there with the xcb platform, for what the offscreen platform lacks: a tray, and the keyboard's
// context menu events.

#include "app/BrindleApp.h"
#include "support/VirtualDisplay.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/options/OptionPages.h"
#include "ui/options/OptionSheet.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/TrayController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

using brindle::DialogRunner;
using brindle::MessageBox;

namespace {

// The display, the tray on it and the application, shared by the tests of one run.
class WindowDisplay : public ::testing::Environment {
  public:
    void SetUp() override {
        m_display.Start();
        skipReason = m_display.SkipReason();
        failure = m_display.Failure();
        if (!skipReason.isEmpty() || !failure.isEmpty())
            return;
        QProcess* tray = nullptr;
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty()) {
            noTray = QStringLiteral("no system tray program (Debian package trayer)");
        } else {
            tray = m_display.StartClient(QStringLiteral("trayer"),
                                         {QStringLiteral("--edge"), QStringLiteral("top"),
                                          QStringLiteral("--align"), QStringLiteral("right"),
                                          QStringLiteral("--widthtype"), QStringLiteral("request"),
                                          QStringLiteral("--height"), QStringLiteral("24")},
                                         &failure);
            if (!tray)
                return;
        }
        // The tray of this display, not a desktop's status-notifier host on the session bus.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char arg0[] = "x11_window_tests";
        static char* argv[] = {arg0, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        if (!tray)
            return;
        // The window may come only once the tray owns its selection.
        const QDeadlineTimer deadline(10000);
        while (!QSystemTrayIcon::isSystemTrayAvailable() && !deadline.hasExpired() &&
               tray->state() == QProcess::Running)
            QTest::qWait(50);
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            failure = QStringLiteral("trayer did not take the tray selection: ") +
                      QString::fromLocal8Bit(tray->readAllStandardError());
    }
    void TearDown() override {
        app.reset(); // closes the connection before its server goes
        m_display.Stop();
    }

    const QByteArray& Name() const { return m_display.Name(); }

    std::unique_ptr<QApplication> app;
    QString skipReason; // no display at all
    QString noTray;     // a display without a tray: the tray icon's tests skip
    QString failure;

  private:
    testutil::VirtualDisplay m_display;
};

WindowDisplay* const g_display =
    static_cast<WindowDisplay*>(::testing::AddGlobalTestEnvironment(new WindowDisplay));

// Whether the tray took our icon in: the icon's window is no longer a child of the root window
// but of the tray's socket.
bool IconEmbeddedInTray() {
    xcb_window_t icon = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") == 0 && w->winId())
            icon = xcb_window_t(w->winId());
    if (icon == 0)
        return false;
    xcb_connection_t* c = xcb_connect(g_display->Name().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, icon), nullptr);
    const bool embedded = tree && tree->parent != root && tree->parent != XCB_WINDOW_NONE;
    std::free(tree);
    xcb_disconnect(c);
    return embedded;
}

class X11WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_display->skipReason.isEmpty())
            GTEST_SKIP() << g_display->skipReason.toStdString();
        ASSERT_TRUE(g_display->failure.isEmpty()) << g_display->failure.toStdString();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        MessageBox::Reset();
        DialogRunner::SetHandler({});
        app = std::make_unique<CBrindleApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
        frame = app->Frame();
    }
    void TearDown() override {
        DialogRunner::SetHandler({});
        MessageBox::Reset();
        app.reset();
    }
    // The tray icon's tests need the tray.
    static bool HasTray() { return g_display->noTray.isEmpty(); }
    // Runs "&Option..." with `edit` filling in the sheet, then OK.
    void RunOptionsWithOk(const std::function<void(COptionSheet&)>& edit) {
        DialogRunner::SetHandler([&](QDialog& dialog) {
            auto* sheet = qobject_cast<COptionSheet*>(&dialog);
            if (!sheet)
                return int(QDialog::Rejected);
            edit(*sheet);
            sheet->accept();
            return sheet->result();
        });
        ASSERT_TRUE(frame->Commands().IsEnabled(cmd::Option));
        frame->Commands().Execute(cmd::Option);
    }

    std::unique_ptr<CBrindleApp> app;
    CMainFrame* frame = nullptr;
};

} // namespace

TEST_F(X11WindowTest, MinimisingWithTrayAndHideHidesTheWindow) {
    if (!HasTray())
        GTEST_SKIP() << g_display->noTray.toStdString();
    app->Prefs().m_bInTray = 1;
    app->Prefs().m_bHide = 1;
    frame->Tray()->UpdateTrayIcon();
    ASSERT_TRUE(frame->Tray()->HasTrayIcon());
    EXPECT_TRUE(QTest::qWaitFor(IconEmbeddedInTray, 5000)) << "the tray did not take the icon";
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    frame->showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !frame->isVisible(); }, 5000));
    frame->Tray()->OnDoubleClick();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMinimized());
}

// OK in the option sheet applies the tray flag at once: the icon leaves the tray and comes back.
TEST_F(X11WindowTest, TheTrayFlagAddsAndRemovesTheTrayIcon) {
    if (!HasTray())
        GTEST_SKIP() << g_display->noTray.toStdString();
    app->Prefs().m_bInTray = 1;
    frame->Tray()->UpdateTrayIcon();
    ASSERT_TRUE(frame->Tray()->HasTrayIcon());
    EXPECT_TRUE(QTest::qWaitFor(IconEmbeddedInTray, 5000)) << "the tray did not take the icon";
    RunOptionsWithOk([](COptionSheet& sheet) { sheet.General()->inTray->setChecked(false); });
    EXPECT_FALSE(frame->Tray()->HasTrayIcon());
    EXPECT_FALSE(IconEmbeddedInTray());
    RunOptionsWithOk([](COptionSheet& sheet) { sheet.General()->inTray->setChecked(true); });
    EXPECT_TRUE(frame->Tray()->HasTrayIcon());
    EXPECT_TRUE(QTest::qWaitFor(IconEmbeddedInTray, 5000)) << "the tray did not take the icon";
}

// The menu key and Shift+F10 typed on the keyboard (xdotool, through XTEST): the platform makes
// a context menu event of the menu key too, and still exactly one menu opens, the rows' one.
TEST_F(X11WindowTest, MenuKeyAndShiftF10OnTheListOpenOneRowMenu) {
    CBookMarkView* view = frame->Workspace()->Bookmarks();
    app->Doc().AddBookmark({.name = "Alpha", .url = "http://a.example/", .keywords = "web"});
    app->Doc().Search("", false, 0);
    app->Doc().RefreshViews();
    ASSERT_EQ(view->Model()->rowCount(), 1);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    frame->activateWindow();
    view->setFocus();
    view->selectRow(0);
    ASSERT_TRUE(QTest::qWaitFor([view] { return QApplication::focusWidget() == view; }, 5000));

    for (const char* keys : {"Menu", "shift+F10"}) {
        SCOPED_TRACE(keys);
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("key"), QString::fromLatin1(keys)});
        ASSERT_TRUE(xdotool.waitForFinished(5000) && xdotool.exitCode() == 0)
            << xdotool.errorString().toStdString();
        ASSERT_TRUE(
            QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
        QTest::qWait(200); // a second menu would come now
        QList<QMenu*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
                open << menu;
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(open[0]->actions().value(0)->text(), QStringLiteral("&Open Page"));
        open[0]->close();
        ASSERT_TRUE(QTest::qWaitFor([] { return !QApplication::activePopupWidget(); }, 5000));
    }
}
