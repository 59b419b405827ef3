// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include "platform/net/InstanceSocket.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

namespace brindle {

namespace {

constexpr char kAck = '\x01';
// How long a later start keeps trying to reach an instance that holds the lock (it may still
// be starting up).
constexpr int kReachTimeoutMs = 3000;
// A connection that does not complete its message in this time is dropped.
constexpr int kIdleConnectionMs = 10000;

} // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent) {
    const QString dir = folder.isEmpty() ? InstanceFolder() : folder;
    m_lockPath = dir + QLatin1Char('/') + name + QStringLiteral(".lock");
    m_socketPath = InstanceSocketPath(name, dir);
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString SingleInstance::LockPath() const {
    return m_lockPath;
}

QString SingleInstance::SocketPath() const {
    return m_socketPath;
}

bool SingleInstance::IsListening() const {
    return m_server && m_server->isListening();
}

SingleInstance::Role SingleInstance::Start(const QString& path) {
    const QString absolute = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    QDir().mkpath(QFileInfo(m_lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead holder makes the lock stale, never its age: an instance may run for weeks.
    m_lock->setStaleLockTime(0);

    const QDeadlineTimer deadline(kReachTimeoutMs);
    for (;;) {
        if (m_lock->tryLock(0)) {
            Listen();
            return Role::Primary;
        }
        if (Send(m_socketPath, absolute))
            return Role::Secondary;
        if (m_lock->error() != QLockFile::LockFailedError || deadline.hasExpired())
            break;
        QThread::msleep(100);
    }
    // Nobody answers and the lock cannot be had (unwritable folder, or a holder that does not
    // listen): run without the single-instance guard rather than not start at all.
    qWarning("Brindle: cannot reach the running instance; starting anyway");
    m_lock.reset();
    return Role::Primary;
}

bool SingleInstance::Listen() {
    // The lock is ours, so a socket file left here belongs to a crashed instance.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    if (!m_server->listen(m_socketPath)) {
        qWarning("Brindle: cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
        return false;
    }
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        m_pending.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
        auto* idle = new QTimer(socket);
        idle->setObjectName(QStringLiteral("idle"));
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        idle->start(kIdleConnectionMs);
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void SingleInstance::OnReadyRead(QLocalSocket* socket) {
    auto pending = m_pending.find(socket);
    if (pending == m_pending.end())
        return;
    QByteArray& buffer = *pending;
    buffer += socket->readAll();
    if (buffer.size() < 4)
        return;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > static_cast<quint32>(kMaxMessageBytes)) {
        m_pending.erase(pending);
        socket->abort();
        return;
    }
    if (buffer.size() < 4 + static_cast<qsizetype>(length))
        return;
    const QByteArray payload = buffer.mid(4, length);
    m_pending.erase(pending);
    if (payload == kAttachRequest) {
        if (!m_attach) {
            socket->disconnectFromServer();
            return;
        }
        // The connection now belongs to the attach handler, with no idle limit.
        disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
        delete socket->findChild<QTimer*>(QStringLiteral("idle"), Qt::FindDirectChildrenOnly);
        m_attach(socket);
        return;
    }
    if (IsInstanceRequest(payload)) {
        const QByteArray reply =
            m_handler ? m_handler(payload)
                      : QByteArrayLiteral(R"({"type":"error","message":"Not available."})");
        socket->write(InstanceFrame(reply));
        socket->flush();
        socket->disconnectFromServer();
        return;
    }
    const QString path = QString::fromUtf8(payload);
    socket->write(&kAck, 1);
    socket->flush();
    socket->disconnectFromServer();
    emit activationRequested(path);
}

bool SingleInstance::Send(const QString& socketPath, const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray payload = path.toUtf8();
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), message.data());
    message += payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() > 0)
        return false;
    // Wait for the receipt so that the running instance has the whole message before this
    // process ends; a busy instance still gets it from the socket later.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

} // namespace brindle
