// The proxy password and the desktop's secret store, against a mock KWallet service on a private
// session bus (python3-dbusmock): the password goes to the store and not into the settings file,
// a password found in the file moves into the store on the next save, and without a store the
// file keeps it.

#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

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

const QString kWalletName = QStringLiteral("org.kde.kwalletd5");
const QString kWalletPath = QStringLiteral("/modules/kwalletd5");
const QString kWalletInterface = QStringLiteral("org.kde.KWallet");

// The calls of the wallet the secret store makes, kept in a dictionary of the mock object.
struct MockMethod {
    const char* name;
    const char* in;
    const char* out;
    const char* code;
};
const MockMethod kWalletMethods[] = {
    {"networkWallet", "", "s", "ret = 'kdewallet'"},
    {"open", "sxs", "i", "ret = 7"},
    {"entryType", "isss", "i",
     "ret = 1 if (args[1], args[2]) in getattr(self, 'secrets', {}) else 0"},
    {"readPassword", "isss", "s", "ret = getattr(self, 'secrets', {}).get((args[1], args[2]), '')"},
    {"writePassword", "issss", "i",
     "self.secrets = getattr(self, 'secrets', {}); self.secrets[(args[1], args[2])] = args[3]; "
     "ret = 0"},
    {"removeEntry", "isss", "i",
     "getattr(self, 'secrets', {}).pop((args[1], args[2]), None); ret = 0"},
};

// One private bus for the whole program (Qt keeps its first session bus), the desktop named as
// a KDE one so that the wallet is the store the keychain library picks.
class BusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        missing = testutil::PrivateSessionBus::MissingTools();
        if (!missing.isEmpty())
            return;
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        qputenv("KDE_SESSION_VERSION", "5");
        qputenv("XDG_CONFIG_HOME", (config.path() + QStringLiteral("/config")).toUtf8());
        bus = std::make_unique<testutil::PrivateSessionBus>();
        if (!bus->Start())
            missing = QStringLiteral("the private dbus-daemon did not start");
    }
    void TearDown() override { bus.reset(); }

    QString missing;
    QTemporaryDir config;
    std::unique_ptr<testutil::PrivateSessionBus> bus;
};
BusEnvironment* g_bus =
    static_cast<BusEnvironment*>(::testing::AddGlobalTestEnvironment(new BusEnvironment));

class SecretStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_bus->missing.isEmpty())
            GTEST_SKIP() << "No private session bus: " << g_bus->missing.toStdString();
    }
    void TearDown() override { testutil::PrivateSessionBus::StopMock(m_wallet, kWalletName); }
    void StartWallet() {
        m_wallet = g_bus->bus->StartMock(kWalletName, kWalletPath, kWalletInterface);
        ASSERT_NE(m_wallet, nullptr) << "the mock wallet did not start";
        QDBusInterface mock(kWalletName, kWalletPath, QStringLiteral("org.freedesktop.DBus.Mock"));
        for (const MockMethod& m : kWalletMethods) {
            const QDBusMessage reply = mock.call(
                QStringLiteral("AddMethod"), kWalletInterface, QString::fromLatin1(m.name),
                QString::fromLatin1(m.in), QString::fromLatin1(m.out), QString::fromLatin1(m.code));
            ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << m.name;
        }
    }
    // What the wallet holds for the proxy password ("" when nothing).
    QString WalletEntry() {
        QDBusInterface wallet(kWalletName, kWalletPath, kWalletInterface);
        const QDBusReply<QString> reply = wallet.call(
            QStringLiteral("readPassword"), 7, QString::fromLatin1(brindle::kSecretService),
            QString::fromLatin1(brindle::kProxyPasswordKey),
            QString::fromLatin1(brindle::kSecretService));
        return reply.isValid() ? reply.value() : QString();
    }
    QString StorePath() const { return m_dir.path() + QStringLiteral("/Brindle.conf"); }
    QString StoredPs() {
        QSettings store(StorePath(), QSettings::IniFormat);
        return store.value(QStringLiteral("Settings/Ps"), QStringLiteral("<missing>")).toString();
    }

    std::unique_ptr<QProcess> m_wallet;
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
