// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/InstanceSocket.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

namespace brindle {

namespace {
// Longest reply taken from the window (its replies to the browser stay under 1 MB).
constexpr quint32 kMaxReplyBytes = 2 * 1024 * 1024;
} // namespace

QString InstanceFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/brindle-") + qEnvironmentVariable("USER");
    return folder;
}

QString InstanceSocketPath(const QString& name, const QString& folder) {
    return (folder.isEmpty() ? InstanceFolder() : folder) + QLatin1Char('/') + name +
           QStringLiteral(".socket");
}

QByteArray InstanceFrame(const QByteArray& payload) {
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), message.data());
    return message + payload;
}

bool IsInstanceRequest(const QByteArray& payload) {
    return payload.startsWith('{');
}

std::optional<QByteArray> TakeInstanceMessage(QByteArray& buffer, bool& broken, quint32 maxBytes) {
    if (buffer.size() < 4)
        return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > maxBytes) {
        buffer.clear();
        broken = true;
        return std::nullopt;
    }
    if (buffer.size() < 4 + static_cast<qsizetype>(length))
        return std::nullopt;
    QByteArray payload = buffer.mid(4, length);
    buffer.remove(0, 4 + length);
    return payload;
}

std::optional<QByteArray> AskInstance(const QString& socketPath, const QByteArray& json,
                                      int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(InstanceFrame(json));
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray reply;
    while (!deadline.hasExpired()) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
        if (reply.size() >= 4) {
            const quint32 length = qFromBigEndian<quint32>(reply.constData());
            if (length > kMaxReplyBytes)
                return std::nullopt;
            if (reply.size() >= 4 + static_cast<qsizetype>(length))
                return reply.mid(4, length);
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
            return std::nullopt;
        if (socket.bytesAvailable() == 0 &&
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return std::nullopt;
        reply += socket.readAll();
    }
    return std::nullopt;
}

} // namespace brindle
