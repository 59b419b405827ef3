// SPDX-License-Identifier: GPL-3.0-or-later
// "&Option..." with the user's settings file and the desktop's secret store: the proxy password
// goes to the store (a mock wallet on a private session bus) and the Proxy page says nothing;
// without a store the settings file keeps it and the page says it is in plain text.

#include "support/MockWallet.h"
#include "support/PrivateSessionBus.h"
#include "support/WalletBus.h"

#include "app/BrindleApp.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"
#include "ui/options/OptionPages.h"
#include "ui/options/OptionSheet.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"

#include <QDBusInterface>
#include <QDBusReply>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using brindle::DialogRunner;

namespace {

auto* g_bus = static_cast<testutil::WalletBusEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new testutil::WalletBusEnvironment));

class OptionsSecretStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_bus->missing.isEmpty())
            GTEST_SKIP() << "No private session bus: " << g_bus->missing.toStdString();
        QFile::remove(brindle::SettingsFilePath());
    }
    void TearDown() override { DialogRunner::SetHandler({}); }
    void StartWallet() {
        ASSERT_TRUE(m_wallet.Start(*g_bus->bus)) << "the mock wallet did not start";
    }
    QString WalletEntry() {
        return testutil::MockWallet::Entry(QString::fromLatin1(brindle::kSecretService),
                                           QString::fromLatin1(brindle::kProxyPasswordKey));
    }
    QString StoredPs() {
        QSettings store(brindle::SettingsFilePath(), QSettings::IniFormat);
        return store.value(QStringLiteral("Settings/Ps"), QStringLiteral("<missing>")).toString();
    }
    // Starts the program with the user's settings, opens the options, types a proxy with a
    // password and confirms; returns whether the Proxy page showed the plain-text notice.
    bool ConfirmProxyPassword(const QString& password) {
        StartOptions options = StartOptions::Quiet();
        options.userSettings = true;
        CBrindleApp app;
        EXPECT_TRUE(app.InitInstance({QStringLiteral("brindle")}, options));
        bool notice = false;
        DialogRunner::SetHandler([&](QDialog& dialog) {
            auto* sheet = qobject_cast<COptionSheet*>(&dialog);
            if (!sheet)
                return int(QDialog::Rejected);
            sheet->Proxy()->useProxy->click();
            notice = !sheet->Proxy()->plainTextNotice->isHidden();
            sheet->Proxy()->server->setText(QStringLiteral("proxy.local"));
            sheet->Proxy()->password->setText(password);
            sheet->accept();
            return sheet->result();
        });
        app.Frame()->Commands().Execute(cmd::Option);
        DialogRunner::SetHandler({});
        EXPECT_EQ(app.Prefs().m_strProxyPassword, password.toStdString());
        return notice;
    }

    testutil::MockWallet m_wallet;
};

TEST_F(OptionsSecretStoreTest, WithAStoreThePasswordStaysOutOfTheFile) {
    StartWallet();
    EXPECT_FALSE(ConfirmProxyPassword(QStringLiteral("hunter2")));
    EXPECT_EQ(StoredPs(), "");
    EXPECT_EQ(WalletEntry(), "hunter2");

    // The next start (with the proxy on) finds it in the store.
    StartOptions options = StartOptions::Quiet();
    options.userSettings = true;
    CBrindleApp app;
    ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle")}, options));
    EXPECT_EQ(app.Prefs().m_bHasProxy, 1);
    EXPECT_EQ(app.Prefs().m_strProxyPassword, "hunter2");
}

TEST_F(OptionsSecretStoreTest, WithoutAStoreTheFileKeepsItAndThePageSaysSo) {
    EXPECT_TRUE(ConfirmProxyPassword(QStringLiteral("hunter2")));
    EXPECT_EQ(StoredPs(), "hunter2");
}

} // namespace
