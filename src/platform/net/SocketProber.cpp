// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/SocketProber.h"

#include "platform/net/NetErrors.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"

#include <QDateTime>
#include <QHostAddress>
#include <QLocale>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cctype>

namespace brindle {

namespace {

// How much of the socket's buffer one step of reading the head looks at.
constexpr qsizetype kHeadChunk = 16 * 1024;
// How often a request that a server closed unanswered is sent again.
constexpr int kResends = 3;

// The Accept-Language QtNetwork sends, so that servers answer both probers alike.
QByteArray AcceptLanguage() {
    const QString locale = QLocale::system().name().replace(u'_', u'-');
    if (locale == QLatin1String("C"))
        return "en,*";
    if (locale.startsWith(QLatin1String("en-")))
        return locale.toLatin1() + ",*";
    return locale.toLatin1() + ",en,*";
}

// The Host header as QtNetwork writes it: IPv6 in brackets, a port only when the URL names one.
QByteArray HostHeader(const QUrl& url) {
    const QString host = url.host();
    QByteArray value;
    QHostAddress address;
    if (address.setAddress(host))
        value = address.protocol() == QAbstractSocket::IPv6Protocol ? '[' + host.toLatin1() + ']'
                                                                    : host.toLatin1();
    else
        value = QUrl::toAce(host);
    if (url.port() != -1)
        value += ':' + QByteArray::number(url.port());
    return value;
}

QByteArray RequestFor(const QUrl& url) {
    QByteArray path =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (path.isEmpty() || path.front() != '/')
        path.prepend('/');
    static const QByteArray language = AcceptLanguage();
    QByteArray request;
    request.reserve(160 + path.size());
    request +=
        "GET " + path + " HTTP/1.1\r\nHost: " + HostHeader(url) + "\r\nUser-Agent: " + kUserAgent +
        "\r\nAccept-Encoding: identity\r\nConnection: Keep-Alive\r\nAccept-Language: " + language +
        "\r\n\r\n";
    return request;
}

// The error QtNetwork reports for a socket error while it talks to a server directly.
QNetworkReply::NetworkError ReplyErrorOf(QAbstractSocket::SocketError error) {
    using S = QAbstractSocket::SocketError;
    switch (error) {
    case S::ConnectionRefusedError:
        return QNetworkReply::ConnectionRefusedError;
    case S::RemoteHostClosedError:
        return QNetworkReply::RemoteHostClosedError;
    case S::HostNotFoundError:
        return QNetworkReply::HostNotFoundError;
    case S::SocketTimeoutError:
        return QNetworkReply::TimeoutError;
    case S::SslHandshakeFailedError:
        return QNetworkReply::SslHandshakeFailedError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

} // namespace

SocketProber::SocketProber(NetSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_proxied(session, NetProber::Mode::Probe),
      m_buffer(kHeadChunk, Qt::Uninitialized) {
    m_proxied.SetCompletion(
        [this](int slot, ProbeResult result) { Complete(slot, std::move(result)); });
    for (int slot = 0; slot < static_cast<int>(m_slots.size()); ++slot) {
        Slot& s = m_slots[static_cast<std::size_t>(slot)];
        s.delay = new QTimer(this);
        s.delay->setSingleShot(true);
        connect(s.delay, &QTimer::timeout, this, [this, slot] { Send(slot); });
        s.deadline = new QTimer(this);
        s.deadline->setSingleShot(true);
        connect(s.deadline, &QTimer::timeout, this, [this, slot] { OnDeadline(slot); });
    }
}

SocketProber::~SocketProber() {
    for (Slot& s : m_slots)
        DropSocket(s);
}

void SocketProber::SetTimeout(int milliseconds) {
    m_timeoutMs = milliseconds;
    m_proxied.SetTimeout(milliseconds);
}

void SocketProber::Start(int slot, const std::string& url, int delayMs) {
    Slot& s = m_slots.at(static_cast<std::size_t>(slot));
    Cancel(slot);
    s.url = QUrl(QString::fromStdString(url));
    s.proxied = !m_session.Direct() ||
                (s.url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
                 !QSslSocket::supportsSsl());
    if (s.proxied) {
        m_proxied.Start(slot, url, delayMs);
        return;
    }
    s.active = true;
    s.redirects = 0;
    s.permanentUrl = QUrl();
    s.temporaryHop = false;
    s.resends = 0;
    s.result = {};
    if (delayMs > 0)
        s.delay->start(delayMs);
    else
        Send(slot);
}

void SocketProber::Cancel(int slot) {
    Slot& s = m_slots.at(static_cast<std::size_t>(slot));
    m_proxied.Cancel(slot);
    ++s.generation;
    s.delay->stop();
    s.deadline->stop();
    // A connection in the middle of an answer cannot carry the next request.
    if (s.phase != Phase::Idle)
        DropSocket(s);
    s.active = false;
}

void SocketProber::DropSocket(Slot& s) {
    s.phase = Phase::Idle;
    if (!s.socket)
        return;
    QTcpSocket* socket = s.socket;
    s.socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

void SocketProber::Send(int slot) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    if (!s.active)
        return;
    const QString scheme = s.url.scheme().toLower();
    if (!s.url.isValid() || scheme.isEmpty()) {
        FinishWith(slot, kErrBadUrl);
        return;
    }
    const bool tls = scheme == QLatin1String("https");
    if (!tls && scheme != QLatin1String("http")) {
        FinishWith(slot, kErrUnknownScheme);
        return;
    }
    const QString host = s.url.host();
    if (host.isEmpty()) {
        FinishWith(slot, kErrBadUrl);
        return;
    }
    // The reserved top-level name never resolves; no resolver is asked (as RFC 6761 wants).
    const QString lower = host.toLower();
    if (lower == QLatin1String("invalid") || lower.endsWith(QLatin1String(".invalid"))) {
        FinishWith(slot, kErrNameNotResolved);
        return;
    }
    if (!m_session.IsOpen()) {
        FinishWith(slot, kErrNetworkFailure);
        return;
    }
    if (s.redirects == 0 && s.resends == 0)
        s.deadline->start(m_timeoutMs);
    const int port = s.url.port(tls ? 443 : 80);
    const bool reuse = s.socket && s.socket->state() == QAbstractSocket::ConnectedState &&
                       s.tls == tls && s.port == port &&
                       s.host.compare(host, Qt::CaseInsensitive) == 0 &&
                       s.socket->bytesAvailable() == 0;
    s.received = false;
    s.phase = Phase::Head;
    s.head.Reset();
    if (!reuse) {
        Connect(slot, host, port, tls);
        if (!s.socket)
            return; // failed at once (no route to the address): the error is delivered
    }
    // Written at once: the socket holds it until the connection (and TLS) is up.
    s.socket->write(RequestFor(s.url));
}

void SocketProber::Connect(int slot, const QString& host, int port, bool tls) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    const Phase phase = s.phase;
    DropSocket(s);
    s.phase = phase;
    QTcpSocket* socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    s.socket = socket;
    s.host = host;
    s.port = port;
    s.tls = tls;
    s.sslErrors.clear();
    if (tls)
        connect(static_cast<QSslSocket*>(socket), &QSslSocket::sslErrors, this,
                [this, slot, socket](const QList<QSslError>& errors) {
                    if (m_slots[static_cast<std::size_t>(slot)].socket == socket)
                        m_slots[static_cast<std::size_t>(slot)].sslErrors = errors;
                });
    connect(socket, &QIODevice::readyRead, this, [this, slot, socket] {
        if (m_slots[static_cast<std::size_t>(slot)].socket == socket)
            OnReadyRead(slot);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, slot, socket](QAbstractSocket::SocketError error) {
                if (m_slots[static_cast<std::size_t>(slot)].socket == socket)
                    OnSocketError(slot, static_cast<int>(error));
            });
    if (tls)
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(host, static_cast<quint16>(port));
    else
        socket->connectToHost(host, static_cast<quint16>(port));
}

void SocketProber::OnReadyRead(int slot) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    if (s.phase == Phase::Idle) {
        // Nothing was asked on this connection: whatever comes cannot be matched to a request.
        DropSocket(s);
        return;
    }
    s.received = true;
    if (s.phase == Phase::Head && !ReadHead(slot))
        return;
    if (s.phase != Phase::Body)
        return;
    const qint64 n = std::min(s.socket->bytesAvailable(), s.bodyLeft);
    s.socket->skip(n);
    s.bodyLeft -= n;
    if (s.bodyLeft == 0)
        Deliver(slot, std::move(s.result), s.keepAlive);
}

bool SocketProber::ReadHead(int slot) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    QTcpSocket* socket = s.socket;
    while (s.phase == Phase::Head) {
        // Looked at in place and taken only as far as the head goes: what follows is the body.
        const qint64 n = socket->peek(m_buffer.data(), m_buffer.size());
        if (n <= 0)
            return true;
        const qsizetype used = s.head.Feed(QByteArrayView(m_buffer.constData(), n));
        socket->skip(used);
        switch (s.head.GetState()) {
        case HttpHeadReader::State::Reading:
            break;
        case HttpHeadReader::State::Invalid:
            FinishWith(slot, kErrInvalidResponse);
            return false;
        case HttpHeadReader::State::Done:
            OnHeaders(slot);
            return s.active;
        }
    }
    return true;
}

void SocketProber::OnHeaders(int slot) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    const HttpHead& head = s.head.Head();
    // Answers without a body, and short bodies of a known length, leave the connection usable.
    const bool noBody = head.status == 204 || head.status == 304;
    const qint64 length = noBody ? 0 : head.chunked ? -1 : head.contentLength;
    s.keepAlive = !head.connectionClose && !head.http10 && length >= 0 && length <= kShortBody;
    s.bodyLeft = std::max<qint64>(0, length);

    if (IsRedirect(head.status) && !head.location.isEmpty()) {
        const QUrl target = QUrl::fromEncoded(head.location);
        if (!target.isEmpty()) {
            if (++s.redirects > kMaxRedirects) {
                FinishWith(slot, kErrRedirectFailed);
                return;
            }
            // The connection serves the next request when this answer's body is all here.
            if (s.keepAlive && s.socket->bytesAvailable() >= s.bodyLeft)
                s.socket->skip(s.bodyLeft);
            else
                DropSocket(s);
            s.phase = Phase::Idle;
            s.url = s.url.resolved(target);
            if (!s.temporaryHop && IsPermanentRedirect(head.status))
                s.permanentUrl = s.url;
            else
                s.temporaryHop = true;
            s.resends = 0;
            Send(slot);
            return;
        }
    }

    ProbeResult& result = s.result;
    result.result = head.status;
    result.statusText = head.reason.toStdString();
    if (head.status == 200) {
        if (s.permanentUrl.isValid())
            result.location = s.permanentUrl.toString().toStdString();
        if (!head.lastModified.isEmpty()) {
            // Parsed as QtNetwork parses the header (all three HTTP date forms).
            QNetworkRequest parsed;
            parsed.setRawHeader("Last-Modified", head.lastModified);
            const QDateTime modified =
                parsed.header(QNetworkRequest::LastModifiedHeader).toDateTime();
            if (modified.isValid())
                result.lastModified = modified.toSecsSinceEpoch();
        }
    }
    result.retryAfter = RetryAfterSeconds(head.retryAfter);
    if (!s.keepAlive || s.bodyLeft == 0) {
        // A longer or unbounded body is not read: the connection closes after the headers.
        Deliver(slot, std::move(result), s.keepAlive);
        return;
    }
    // The answer is known: the body is taken only while it is already arriving.
    s.phase = Phase::Body;
    s.deadline->start(kBodyGraceMs);
    OnReadyRead(slot);
}

void SocketProber::OnDeadline(int slot) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    if (s.phase == Phase::Body) {
        // The body stalled: the answer stands, the connection cannot carry another request.
        Deliver(slot, std::move(s.result), false);
        return;
    }
    FinishWith(slot, kErrTimeout);
}

void SocketProber::OnSocketError(int slot, int code) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    const auto error = static_cast<QAbstractSocket::SocketError>(code);
    if (!s.active || s.phase == Phase::Idle) {
        DropSocket(s); // a kept connection went away meanwhile
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // Whatever came before the close is read first.
        if (s.socket && s.socket->bytesAvailable() > 0) {
            OnReadyRead(slot);
            if (!s.active)
                return;
        }
        if (s.phase == Phase::Body) {
            Deliver(slot, std::move(s.result), false); // the status is in; the body need not be
            return;
        }
        if (!s.received && s.resends < kResends) {
            // Closed before any answer (typically a kept connection the server dropped as the
            // request went out): asked again on a new connection, as QtNetwork does.
            ++s.resends;
            DropSocket(s);
            Send(slot);
            return;
        }
    }
    if (error == QAbstractSocket::SslHandshakeFailedError) {
        FinishWith(slot, InternetErrorOfTls(s.sslErrors),
                   s.sslErrors.isEmpty() ? s.socket->errorString()
                                         : s.sslErrors.front().errorString());
        return;
    }
    FinishWith(slot, InternetErrorOf(ReplyErrorOf(error)));
}

void SocketProber::FinishWith(int slot, int code, const QString& detail) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    if (!s.active)
        return;
    ProbeResult result;
    result.result = code;
    result.statusText = detail.toStdString();
    Deliver(slot, std::move(result), false);
}

void SocketProber::Deliver(int slot, ProbeResult result, bool keepConnection) {
    Slot& s = m_slots[static_cast<std::size_t>(slot)];
    if (keepConnection)
        s.phase = Phase::Idle;
    else
        DropSocket(s);
    s.delay->stop();
    s.deadline->stop();
    s.active = false;
    s.resends = 0;
    // Results reach the engine as queued events, never from inside a call of the engine's.
    const std::uint64_t generation = s.generation;
    QMetaObject::invokeMethod(
        this,
        [this, slot, generation, result = std::move(result)]() mutable {
            if (m_slots[static_cast<std::size_t>(slot)].generation == generation)
                Complete(slot, std::move(result));
        },
        Qt::QueuedConnection);
}

} // namespace brindle
