// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A KWallet service (the secret store the keychain library uses on a KDE desktop) mocked with
// python3-dbusmock on a private session bus: it keeps the written passwords in memory.

#include "support/PrivateSessionBus.h"

#include <QDBusInterface>
#include <QDBusReply>

#include <memory>

namespace testutil {

class MockWallet {
  public:
    static inline const QString kName = QStringLiteral("org.kde.kwalletd5");
    static inline const QString kPath = QStringLiteral("/modules/kwalletd5");
    static inline const QString kInterface = QStringLiteral("org.kde.KWallet");
    static constexpr int kHandle = 7;

    // Names the desktop as KDE 5 so that the wallet is the store the keychain library picks.
    static void SelectAsSecretStore() {
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        qputenv("KDE_SESSION_VERSION", "5");
    }

    // Starts the wallet on `bus`; false when it did not come up.
    bool Start(PrivateSessionBus& bus) {
        struct Method {
            const char* name;
            const char* in;
            const char* out;
            const char* code;
        };
        static const Method kMethods[] = {
            {"networkWallet", "", "s", "ret = 'kdewallet'"},
            {"open", "sxs", "i", "ret = 7"},
            {"entryType", "isss", "i",
             "ret = 1 if (args[1], args[2]) in getattr(self, 'secrets', {}) else 0"},
            {"readPassword", "isss", "s",
             "ret = getattr(self, 'secrets', {}).get((args[1], args[2]), '')"},
            {"writePassword", "issss", "i",
             "self.secrets = getattr(self, 'secrets', {}); "
             "self.secrets[(args[1], args[2])] = args[3]; ret = 0"},
            {"removeEntry", "isss", "i",
             "getattr(self, 'secrets', {}).pop((args[1], args[2]), None); ret = 0"},
        };
        m_process = bus.StartMock(kName, kPath, kInterface);
        if (!m_process)
            return false;
        QDBusInterface mock(kName, kPath, QStringLiteral("org.freedesktop.DBus.Mock"));
        for (const Method& m : kMethods) {
            const QDBusMessage reply = mock.call(
                QStringLiteral("AddMethod"), kInterface, QString::fromLatin1(m.name),
                QString::fromLatin1(m.in), QString::fromLatin1(m.out), QString::fromLatin1(m.code));
            if (reply.type() == QDBusMessage::ErrorMessage)
                return false;
        }
        return true;
    }
    void Stop() { PrivateSessionBus::StopMock(m_process, kName); }
    ~MockWallet() { Stop(); }

    // The password stored under folder `service`, key `key` ("" when none).
    static QString Entry(const QString& service, const QString& key) {
        QDBusInterface wallet(kName, kPath, kInterface);
        const QDBusReply<QString> reply =
            wallet.call(QStringLiteral("readPassword"), kHandle, service, key, service);
        return reply.isValid() ? reply.value() : QString();
    }

  private:
    std::unique_ptr<QProcess> m_process;
};

} // namespace testutil
