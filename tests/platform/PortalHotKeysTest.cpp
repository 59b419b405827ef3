// SPDX-License-Identifier: GPL-3.0-or-later
// Global hot keys through the desktop portal's GlobalShortcuts, against a mock portal on a
// private session bus: the session and the bind calls with the stored keys as preferred
// triggers, re-binding when the keys change, and the Activated signal reported as the hot key's
// id.

#include "support/PrivateSessionBus.h"

#include "platform/PortalHotKeys.h"
#include "platform/VirtualKeys.h"
#include "store/Preferences.h"

#include <QDBusInterface>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using brindle::PortalHotKeyService;

namespace {

const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

class BusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        missing = testutil::PrivateSessionBus::MissingTools();
        if (!missing.isEmpty())
            return;
        bus = std::make_unique<testutil::PrivateSessionBus>();
        if (!bus->Start())
            missing = QStringLiteral("the private dbus-daemon did not start");
    }
    void TearDown() override { bus.reset(); }

    QString missing;
    std::unique_ptr<testutil::PrivateSessionBus> bus;
};
BusEnvironment* g_bus =
    static_cast<BusEnvironment*>(::testing::AddGlobalTestEnvironment(new BusEnvironment));

class PortalHotKeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_bus->missing.isEmpty())
            GTEST_SKIP() << "No private session bus: " << g_bus->missing.toStdString();
    }
    void TearDown() override { testutil::PrivateSessionBus::StopMock(m_portal, kPortalName); }
    void StartPortal() {
        m_portal = g_bus->bus->StartPython(kPortalName, {QStringLiteral(BRINDLE_MOCK_PORTAL)});
        ASSERT_NE(m_portal, nullptr) << "the mock portal did not start";
    }
    QJsonObject PortalState() {
        QDBusInterface control(kPortalName, QStringLiteral("/org/freedesktop/portal/desktop"),
                               QStringLiteral("test.MockPortal"));
        const QDBusReply<QString> reply = control.call(QStringLiteral("State"));
        return QJsonDocument::fromJson(reply.value().toUtf8()).object();
    }
    // The bound shortcuts as "id=trigger (description)".
    QStringList Bound() {
        QStringList bound;
        for (const QJsonValue& entry : PortalState().value(QStringLiteral("bound")).toArray()) {
            const QJsonArray pair = entry.toArray();
            const QJsonObject props = pair[1].toObject();
            bound << QStringLiteral("%1=%2 (%3)")
                         .arg(pair[0].toString(),
                              props.value(QStringLiteral("preferred_trigger")).toString(),
                              props.value(QStringLiteral("description")).toString());
        }
        return bound;
    }
    void Press(const QString& id) {
        QDBusInterface control(kPortalName, QStringLiteral("/org/freedesktop/portal/desktop"),
                               QStringLiteral("test.MockPortal"));
        control.call(QStringLiteral("Press"), id);
    }

    std::unique_ptr<QProcess> m_portal;
};

TEST(PortalTriggers, StoredKeysBecomeThePortalsTriggerTexts) {
    using namespace brindle;
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger('E', kHotKeyControl | kHotKeyShift),
              "CTRL+SHIFT+e");
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger(vk::F1 + 4, kHotKeyAlt), "ALT+F5");
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger(vk::Next, kHotKeyControl | kHotKeyExtended),
              "CTRL+Next");
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger(vk::Numpad0 + 7, 0), "KP_7");
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger(vk::Oem2, kHotKeyShift), "SHIFT+slash");
    EXPECT_EQ(PortalHotKeyService::PreferredTrigger(0xE5, 0), ""); // no key has that code
    EXPECT_EQ(PortalHotKeyService::HotKeyId(PortalHotKeyService::ShortcutId(1052)), 1052);
    EXPECT_EQ(PortalHotKeyService::HotKeyId(QStringLiteral("someone-else")), -1);
}

TEST_F(PortalHotKeysTest, OfferedOnlyWhereThePortalAnswers) {
    EXPECT_FALSE(PortalHotKeyService::IsOffered(QDBusConnection::sessionBus()));
    StartPortal();
    EXPECT_TRUE(PortalHotKeyService::IsOffered(QDBusConnection::sessionBus()));
}

TEST_F(PortalHotKeysTest, BindsTheStoredKeysAndReportsActivations) {
    StartPortal();
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy bound(&service, &PortalHotKeyService::shortcutsBound);
    QSignalSpy triggered(&service, &brindle::HotKeyService::triggered);

    CPreferences settings;
    settings.m_wHotKeyVk = {'E', 0, std::uint16_t(brindle::vk::F1 + 4), 'V'};
    settings.m_wHotKeyMods = {brindle::kHotKeyControl | brindle::kHotKeyShift, 0,
                              brindle::kHotKeyAlt, brindle::kHotKeyControl | brindle::kHotKeyAlt};
    EXPECT_TRUE(brindle::RegisterDocumentHotKeys(service, settings).isEmpty());
    EXPECT_TRUE(service.IsRegistered(1050));
    EXPECT_FALSE(service.IsRegistered(1051));
    EXPECT_EQ(triggered.count(), 0); // nothing from inside Register
    ASSERT_TRUE(bound.wait(10000));
    EXPECT_TRUE(bound.first().first().toBool());
    EXPECT_FALSE(service.Session().isEmpty());

    EXPECT_EQ(Bound(),
              QStringList({"brindle-hotkey-1050=CTRL+SHIFT+e (Switch to Brindle)",
                           "brindle-hotkey-1052=ALT+F5 (Fast Add Bookmark from Browser)",
                           "brindle-hotkey-1053=CTRL+ALT+v (Add Bookmark from Clipboard)"}));
    // One session, one bind for the whole set.
    const QJsonArray calls = PortalState().value(QStringLiteral("calls")).toArray();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].toString(), "CreateSession");
    EXPECT_EQ(calls[1].toString(), "BindShortcuts");

    Press(QStringLiteral("brindle-hotkey-1052"));
    ASSERT_TRUE(triggered.wait(10000));
    EXPECT_EQ(triggered.first().first().toInt(), 1052);

    // New keys: the same session binds the new set.
    settings.m_wHotKeyVk = {0, 'B', 0, 0};
    settings.m_wHotKeyMods = {0, brindle::kHotKeyControl, 0, 0};
    bound.clear();
    EXPECT_TRUE(brindle::RegisterDocumentHotKeys(service, settings).isEmpty());
    ASSERT_TRUE(bound.wait(10000));
    EXPECT_EQ(Bound(), QStringList({"brindle-hotkey-1051=CTRL+b (Add Bookmark from Browser)"}));
    EXPECT_EQ(PortalState().value(QStringLiteral("calls")).toArray().size(), 3);
    // The same keys again (options confirmed without a change): nothing is sent.
    EXPECT_TRUE(brindle::RegisterDocumentHotKeys(service, settings).isEmpty());
    QTest::qWait(200);
    EXPECT_EQ(PortalState().value(QStringLiteral("calls")).toArray().size(), 3);

    // A shortcut that is no longer registered is not reported.
    triggered.clear();
    Press(QStringLiteral("brindle-hotkey-1052"));
    Press(QStringLiteral("brindle-hotkey-1051"));
    ASSERT_TRUE(triggered.wait(10000));
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.first().first().toInt(), 1051);
}

TEST_F(PortalHotKeysTest, RefusesKeysThePortalCannotNameAndDuplicates) {
    PortalHotKeyService service(QDBusConnection::sessionBus());
    EXPECT_FALSE(service.Register(1050, 0xE5, 0));
    EXPECT_FALSE(service.ErrorString().isEmpty());
    EXPECT_TRUE(service.Register(1050, 'A', brindle::kHotKeyControl));
    EXPECT_FALSE(service.Register(1051, 'A', brindle::kHotKeyControl));
    EXPECT_FALSE(service.IsRegistered(1051));
    EXPECT_TRUE(service.IsRegistered(1050));
    // No portal on the bus: the request fails and says why.
    QSignalSpy bound(&service, &PortalHotKeyService::shortcutsBound);
    ASSERT_TRUE(bound.wait(10000));
    EXPECT_FALSE(bound.first().first().toBool());
    EXPECT_FALSE(service.ErrorString().isEmpty());
    EXPECT_TRUE(service.Session().isEmpty());
}

} // namespace
