// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servers the network tests talk to, all on 127.0.0.1 with ephemeral ports: an HTTP server
// with scripted answers (cpp-httplib, on its own threads), a raw answerer for broken replies
// (QTcpServer, on the test's event loop), and tinyproxy started from a written configuration.

#include <httplib.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace nettest {

class HttpServer {
  public:
    // `setup` adds the routes before the server starts; `address` is a loopback address.
    explicit HttpServer(
        const std::function<void(httplib::Server&, const std::atomic<bool>&)>& setup,
        std::string address = "127.0.0.1")
        : m_address(std::move(address)) {
        setup(m_server, m_stopping);
        // Idle kept-alive connections hold a server thread, and stopping waits for them.
        m_server.set_keep_alive_timeout(1);
        m_port = m_server.bind_to_any_port(m_address);
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ~HttpServer() {
        m_stopping = true;
        m_server.stop();
        m_thread.join();
    }
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const {
        return "http://" + m_address + ":" + std::to_string(m_port) + path;
    }

  private:
    std::string m_address;
    httplib::Server m_server;
    std::atomic<bool> m_stopping{false};
    int m_port = 0;
    std::thread m_thread;
};

// Answers every connection with `answer` as raw bytes once the request has arrived, then closes
// (or, with `stall`, keeps the connection open and sends nothing more).
class RawServer {
  public:
    explicit RawServer(QByteArray answer, bool stall = false) : m_answer(std::move(answer)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, stall] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, stall] {
                    s->readAll();
                    s->write(m_answer);
                    s->flush();
                    if (!stall)
                        s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
    }

  private:
    QTcpServer m_server;
    QByteArray m_answer;
};

// An HTTPS server with a self-signed certificate made by openssl for 127.0.0.1; Ready() is false
// when openssl could not make one.
class SelfSignedServer {
  public:
    SelfSignedServer() {
        const QString key = m_dir.filePath(QStringLiteral("key.pem"));
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem"));
        const int made = QProcess::execute(
            QStringLiteral("openssl"),
            {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
             "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        if (made != 0)
            return;
        m_server = std::make_unique<httplib::SSLServer>(cert.toLocal8Bit().constData(),
                                                        key.toLocal8Bit().constData());
        m_server->Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<title>Secret</title>", "text/html");
        });
        m_port = m_server->bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
        while (!m_server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ~SelfSignedServer() {
        if (!m_server)
            return;
        m_server->stop();
        m_thread.join();
    }
    bool Ready() const { return m_server != nullptr; }
    std::string Url() const { return "https://127.0.0.1:" + std::to_string(m_port) + "/"; }
    std::string CertFile() const {
        return m_dir.filePath(QStringLiteral("cert.pem")).toStdString();
    }
    std::string KeyFile() const { return m_dir.filePath(QStringLiteral("key.pem")).toStdString(); }

  private:
    QTemporaryDir m_dir;
    std::unique_ptr<httplib::SSLServer> m_server;
    int m_port = 0;
    std::thread m_thread;
};

// A port nothing listens on (bound once to learn a free number, then closed).
inline int ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

// tinyproxy on 127.0.0.1, optionally requiring a user and password.
class TinyProxy {
  public:
    static QString Program() { return QStandardPaths::findExecutable(QStringLiteral("tinyproxy")); }

    TinyProxy(const QString& user = {}, const QString& password = {}) {
        m_port = ClosedPort();
        const QString conf = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return;
        QString text = QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                                      "MaxClients 20\nLogLevel Critical\nPidFile \"%2\"\n")
                           .arg(m_port)
                           .arg(m_dir.filePath(QStringLiteral("pid")));
        if (!user.isEmpty())
            text += QStringLiteral("BasicAuth %1 %2\n").arg(user, password);
        f.write(text.toUtf8());
        f.close();
        m_process.setProgram(Program());
        m_process.setArguments({QStringLiteral("-d"), QStringLiteral("-c"), conf});
        m_process.start();
        m_process.waitForStarted(5000);
        // Ready once it accepts connections.
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_port));
            if (s.waitForConnected(100))
                break;
            QThread::msleep(50);
        }
    }
    ~TinyProxy() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    int Port() const { return m_port; }

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

// A server program started on 127.0.0.1 for the length of a test: `arguments` get "%PORT%"
// replaced by a free port; ready once it accepts connections.
class ServerProgram {
  public:
    ServerProgram(const QString& name, QStringList arguments) {
        const QString program = QStandardPaths::findExecutable(name);
        if (program.isEmpty())
            return;
        m_port = ClosedPort();
        for (QString& a : arguments)
            a.replace(QLatin1String("%PORT%"), QString::number(m_port));
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_port));
            if (s.waitForConnected(100)) {
                m_ready = true;
                break;
            }
            QThread::msleep(50);
        }
    }
    ~ServerProgram() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    bool Ready() const { return m_ready; }
    int Port() const { return m_port; }

  private:
    QProcess m_process;
    int m_port = 0;
    bool m_ready = false;
};

} // namespace nettest
