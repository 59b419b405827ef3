// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One running instance per user. The first start takes a lock file and listens on a local
// socket beside it; a later start connects, hands over its command-line path (possibly empty)
// and ends. The first instance reports each hand-over with activationRequested().
//
// Message: a 32-bit big-endian byte count, then the path in UTF-8. The receiver answers with
// one byte once it has the whole message. A message that holds a JSON object instead is a
// request from another program (the browser host); it is answered by the request handler with a
// message of the same form (see platform/net/InstanceSocket.h).

#include <QByteArray>
#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace brindle {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Role {
        Primary,  // this process runs the program
        Secondary // another instance runs and has the path: end this process
    };

    // Longest message the receiver accepts.
    static constexpr int kMaxMessageBytes = 64 * 1024;

    // `name` names the lock ("<name>.lock") and the socket ("<name>.socket") in `folder`; the
    // default folder is the user's runtime folder, private to the user.
    explicit SingleInstance(const QString& name = QStringLiteral("Brindle"),
                            const QString& folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance, or hands `path` to the one that runs. A relative path is
    // made absolute first, since the running instance has its own working folder. A lock left
    // by a crashed instance is taken over; when the lock is held but nobody answers within a
    // few seconds, this process runs on its own rather than not at all.
    Role Start(const QString& path);

    // Answers the JSON requests that reach the socket; without one they get an error reply.
    using RequestHandler = std::function<QByteArray(const QByteArray& json)>;
    void SetRequestHandler(RequestHandler handler) { m_handler = std::move(handler); }
    // Takes over the sockets that ask to stay connected (the browser host's standing
    // connection); without a handler they are closed.
    using AttachHandler = std::function<void(QLocalSocket* socket)>;
    void SetAttachHandler(AttachHandler handler) { m_attach = std::move(handler); }

    // Whether this process listens for later starts.
    bool IsListening() const;
    QString LockPath() const;
    QString SocketPath() const;

    // Sends `path` to the instance listening on `socketPath`; true when it was connected and
    // the message written.
    static bool Send(const QString& socketPath, const QString& path, int timeoutMs = 3000);

  signals:
    // A later start asked this instance to come to the front and open `path` (empty: none).
    void activationRequested(const QString& path);

  private:
    bool Listen();
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QHash<QLocalSocket*, QByteArray> m_pending;
    RequestHandler m_handler;
    AttachHandler m_attach;
};

} // namespace brindle
