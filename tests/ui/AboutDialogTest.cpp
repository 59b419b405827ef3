// SPDX-License-Identifier: GPL-3.0-or-later
// The About dialog as a modal dialog and as the start-up splash.

#include "ui/window/AboutDialog.h"
#include "ui/widgets/HyperLink.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using brindle::AboutDialog;

namespace {

TEST(AboutDialogTest, ShowsNameVersionAndTwoLinks) {
    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Brindle"));
    auto* name = dialog.findChild<QLabel*>(QStringLiteral("aboutName"));
    auto* version = dialog.findChild<QLabel*>(QStringLiteral("aboutVersion"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Brindle"));
    EXPECT_EQ(version->text(), QStringLiteral("Version " BRINDLE_PROJECT_VERSION));

    const QList<CHyperLink*> links = dialog.findChildren<CHyperLink*>();
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(dialog.ContactLink()->Address(), QStringLiteral("mailto:brindle@example.org"));
    EXPECT_EQ(dialog.WebLink()->Address(), QStringLiteral("https://www.example.org/brindle/"));
}

TEST(AboutDialogTest, LinksOpenThroughTheOpener) {
    QStringList opened;
    const auto previous = CHyperLink::SetOpener([&opened](const QString& address) {
        opened << address;
        return 33;
    });
    AboutDialog dialog;
    dialog.show();
    QTest::mouseClick(dialog.WebLink(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseClick(dialog.ContactLink(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    CHyperLink::SetOpener(previous);
    EXPECT_EQ(opened,
              QStringList({"https://www.example.org/brindle/", "mailto:brindle@example.org"}));
    EXPECT_TRUE(dialog.WebLink()->IsVisited());
}

TEST(AboutDialogTest, ModalRunEndsWithOk) {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isModal());
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(AboutDialog::RunModal(nullptr), QDialog::Accepted);
}

TEST(AboutDialogTest, SplashIsModelessCentredAndOnTop) {
    std::unique_ptr<AboutDialog> splash = AboutDialog::ShowSplash();
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_FALSE(splash->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint centre = splash->frameGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
    splash.reset();
}

} // namespace
