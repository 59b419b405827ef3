// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private Xvfb for the tests that need a real X server, and the programs they start on it.
// The server takes the first free display itself (-displayfd), so parallel runs do not collide;
// everything started here dies with the test program, even when it crashes or is killed.

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <csignal>
#include <memory>
#include <vector>

#include <sys/prctl.h>

namespace testutil {

class VirtualDisplay {
  public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay() { Stop(); }

    // Starts the server and points DISPLAY at it. Afterwards exactly one of Name() (":N", the
    // server accepts connections), SkipReason() (Xvfb is not installed) and Failure() is set.
    void Start(const QString& screen = QStringLiteral("640x480x24")) {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            m_skipReason = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
            return;
        }
        m_server = NewProcess();
        m_server->start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"), screen,
                         QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        // The number comes once the server accepts connections.
        QByteArray number;
        while (!number.endsWith('\n') && m_server->waitForReadyRead(10000))
            number += m_server->readAllStandardOutput();
        number = number.trimmed();
        if (number.isEmpty()) {
            m_failure = QStringLiteral("Xvfb did not start: ") +
                        QString::fromLocal8Bit(m_server->readAllStandardError());
            return;
        }
        m_name = ":" + number;
        qputenv("DISPLAY", m_name);
    }

    // Ends the programs started on the display, then the server. Close the application's
    // connection first.
    void Stop() {
        for (auto it = m_clients.rbegin(); it != m_clients.rend(); ++it)
            End(**it);
        m_clients.clear();
        if (m_server)
            End(*m_server);
        m_server.reset();
    }

    const QByteArray& Name() const { return m_name; }
    const QString& SkipReason() const { return m_skipReason; }
    const QString& Failure() const { return m_failure; }

    // Starts `program` as a client of this display; it runs until Stop(). Null with `error`
    // set when it could not start.
    QProcess* StartClient(const QString& program, const QStringList& arguments, QString* error) {
        m_clients.push_back(NewProcess());
        QProcess* client = m_clients.back().get();
        client->start(program, arguments);
        if (!client->waitForStarted(5000)) {
            *error = program + QStringLiteral(" did not start: ") + client->errorString();
            return nullptr;
        }
        return client;
    }

  private:
    static std::unique_ptr<QProcess> NewProcess() {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        // A crashed or killed test must not leave its server or clients running.
        process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        return process;
    }
    static void End(QProcess& process) {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(1000);
    }

    std::unique_ptr<QProcess> m_server;
    std::vector<std::unique_ptr<QProcess>> m_clients;
    QByteArray m_name;
    QString m_skipReason;
    QString m_failure;
};

} // namespace testutil
