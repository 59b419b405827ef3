// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private D-Bus session bus for the tests of desktop services: a `dbus-daemon --session` of the
// test's own, made the session bus of this process before Qt first connects to one, and mock
// services on it run by python3-dbusmock.

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>

namespace testutil {

class PrivateSessionBus {
  public:
    // Why the bus cannot run here ("" when it can): the daemon or dbusmock is missing.
    static QString MissingTools() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return QStringLiteral("dbus-daemon is not installed");
        if (Python().isEmpty())
            return QStringLiteral("python3 with the dbusmock module (python3-dbusmock) is missing");
        return {};
    }

    // The Python that has dbusmock: the system's, which the Debian package installs into.
    static QString Python() {
        for (const QString& candidate :
             {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            QProcess probe;
            probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
            if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0)
                return candidate;
        }
        return {};
    }

    // Starts the daemon and points DBUS_SESSION_BUS_ADDRESS at it. Once per process: Qt keeps
    // the first session bus it connects to.
    bool Start() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired())
            m_daemon.waitForReadyRead(100);
        m_address = m_daemon.readLine().trimmed();
        if (m_address.isEmpty())
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
        return QDBusConnection::sessionBus().isConnected();
    }
    ~PrivateSessionBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }

    // Runs `python3 -m dbusmock NAME PATH INTERFACE` on the bus and waits until NAME is owned.
    std::unique_ptr<QProcess> StartMock(const QString& name, const QString& path,
                                        const QString& interface) {
        return StartPython(
            name, {QStringLiteral("-m"), QStringLiteral("dbusmock"), name, path, interface});
    }
    // Runs a Python mock service with `arguments` and waits until it owns `name`; nothing when
    // it did not come up. Stop it with StopMock.
    std::unique_ptr<QProcess> StartPython(const QString& name, const QStringList& arguments) {
        auto mock = std::make_unique<QProcess>();
        mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock->start(Python(), arguments);
        if (!mock->waitForStarted(5000))
            return nullptr;
        QDeadlineTimer deadline(15000);
        while (!QDBusConnection::sessionBus().interface()->isServiceRegistered(name) &&
               !deadline.hasExpired())
            QThread::msleep(50);
        if (!QDBusConnection::sessionBus().interface()->isServiceRegistered(name))
            return nullptr;
        return mock;
    }

    static void StopMock(std::unique_ptr<QProcess>& mock, const QString& name) {
        if (!mock)
            return;
        mock->terminate();
        if (!mock->waitForFinished(3000))
            mock->kill();
        mock->waitForFinished(3000);
        mock.reset();
        QDeadlineTimer deadline(5000);
        while (QDBusConnection::sessionBus().interface()->isServiceRegistered(name) &&
               !deadline.hasExpired())
            QThread::msleep(50);
    }

  private:
    QProcess m_daemon;
    QByteArray m_address;
};

} // namespace testutil
