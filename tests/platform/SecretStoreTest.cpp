// SPDX-License-Identifier: GPL-3.0-or-later
// The proxy password and the desktop's secret store, against a mock KWallet service on a private
// session bus (python3-dbusmock): the password goes to the store and not into the settings file,
// a password found in the file moves into the store on the next save, and without a store the
// file keeps it.

#include "support/MockWallet.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/WalletBus.h"

#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

auto* g_bus = static_cast<testutil::WalletBusEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new testutil::WalletBusEnvironment));

class SecretStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_bus->missing.isEmpty())
            GTEST_SKIP() << "No private session bus: " << g_bus->missing.toStdString();
    }
    void StartWallet() {
        ASSERT_TRUE(m_wallet.Start(*g_bus->bus)) << "the mock wallet did not start";
    }
    QString WalletEntry() {
        return testutil::MockWallet::Entry(QString::fromLatin1(brindle::kSecretService),
                                           QString::fromLatin1(brindle::kProxyPasswordKey));
    }
    QString StorePath() const { return m_dir.path() + QStringLiteral("/Brindle.conf"); }
    QString StoredPs() {
        QSettings store(StorePath(), QSettings::IniFormat);
        return store.value(QStringLiteral("Settings/Ps"), QStringLiteral("<missing>")).toString();
    }

    testutil::MockWallet m_wallet;
    QTemporaryDir m_dir;
};

TEST_F(SecretStoreTest, PasswordGoesToTheStoreAndNotIntoTheFile) {
    StartWallet();
    CPreferences settings;
    settings.m_bHasProxy = 1;
    settings.m_strProxyUser = "me";
    settings.m_strProxyPassword = "s3cret;=\"x";
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        EXPECT_TRUE(brindle::SaveSettingsWithSecretStore(settings, store));
    }
    EXPECT_EQ(StoredPs(), "");
    EXPECT_EQ(WalletEntry(), "s3cret;=\"x");

    // Read back at the next start.
    CPreferences loaded;
    QSettings store(StorePath(), QSettings::IniFormat);
    brindle::LoadSettings(loaded, store);
    EXPECT_EQ(loaded.m_strProxyPassword, "");
    EXPECT_TRUE(brindle::LoadProxyPassword(loaded));
    EXPECT_EQ(loaded.m_strProxyPassword, "s3cret;=\"x");
    EXPECT_EQ(loaded.m_strProxyUser, "me");

    // An emptied password leaves no entry behind.
    loaded.m_strProxyPassword.clear();
    EXPECT_TRUE(brindle::SaveSettingsWithSecretStore(loaded, store));
    EXPECT_EQ(WalletEntry(), "");
    EXPECT_FALSE(brindle::ReadProxyPassword().secret.has_value());
}

TEST_F(SecretStoreTest, PasswordInTheFileMovesIntoTheStoreOnTheNextSave) {
    StartWallet();
    {
        QFile file(StorePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\nPs=old-plain\nUser=me\n");
    }
    CPreferences settings;
    QSettings store(StorePath(), QSettings::IniFormat);
    brindle::LoadSettings(settings, store);
    EXPECT_TRUE(brindle::LoadProxyPassword(settings));
    EXPECT_EQ(settings.m_strProxyPassword, "old-plain"); // the file's, until saved
    EXPECT_TRUE(brindle::SaveSettingsWithSecretStore(settings, store));
    store.sync();
    EXPECT_EQ(StoredPs(), "");
    EXPECT_EQ(WalletEntry(), "old-plain");
}

TEST_F(SecretStoreTest, WithoutAStoreTheFileKeepsThePassword) {
    // No wallet on the bus: nobody answers.
    const brindle::SecretAnswer answer = brindle::ReadProxyPassword();
    EXPECT_FALSE(answer.answered);
    CPreferences settings;
    settings.m_strProxyPassword = "plain";
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        EXPECT_FALSE(brindle::SaveSettingsWithSecretStore(settings, store));
    }
    EXPECT_EQ(StoredPs(), "plain");
    CPreferences loaded;
    EXPECT_FALSE(brindle::LoadProxyPassword(loaded));
    EXPECT_EQ(loaded.m_strProxyPassword, "");
}

} // namespace
