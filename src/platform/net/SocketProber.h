// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SocketProber: the status check's prober on plain sockets in the calling thread. It asks as
// NetProber's probes do (a GET with the session's agent text and no compression, the same
// redirects, time-out and error numbers) but reads the answer's status line and headers straight
// from the socket's buffer: QtNetwork's HTTP thread and its byte-wise header reads cost several
// times the CPU of the probe itself. Each slot keeps its connection to the last host for the next
// request when the answer allows it. An answer is classified as soon as its headers are in; a short
// body is read only while it is already arriving (kBodyGraceMs), so that a server that stalls
// after its headers costs nothing but the connection. Through a proxy, or without TLS support for
// https, the request goes to a NetProber instead; the session says which applies
// (NetSession::Direct).

#include "platform/net/HttpHead.h"
#include "platform/net/NetProber.h"
#include "status/Prober.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <array>
#include <cstdint>

class QTcpSocket;
class QTimer;

namespace brindle {

class NetSession;

class SocketProber : public QObject, public Prober {
    Q_OBJECT
  public:
    explicit SocketProber(NetSession& session, QObject* parent = nullptr);
    ~SocketProber() override;

    void Start(int slot, const std::string& url, int delayMs) override;
    void Cancel(int slot) override;

    // Tests shorten the time-out.
    void SetTimeout(int milliseconds);
    // Whether the slot's last request went over QtNetwork (the session has a proxy).
    bool ViaQtNetwork(int slot) const { return m_slots.at(static_cast<std::size_t>(slot)).proxied; }

  private:
    enum class Phase { Idle, Head, Body };
    struct Slot {
        QTimer* delay = nullptr;
        QTimer* deadline = nullptr; // the request's time-out, then the grace of a short body
        std::uint64_t generation = 0;
        bool active = false;
        bool proxied = false;
        QUrl url;
        int redirects = 0;
        // Where the permanent redirects (301, 308) before the first temporary one led.
        QUrl permanentUrl;
        bool temporaryHop = false;
        // The connection, kept between requests to the same host and port.
        QTcpSocket* socket = nullptr;
        QString host;
        int port = 0;
        bool tls = false;
        QList<QSslError> sslErrors; // what the last handshake found wrong
        int resends = 0;            // times it was sent again after a close without an answer
        bool received = false;      // some of the answer arrived
        // The answer being read.
        Phase phase = Phase::Idle;
        HttpHeadReader head;
        bool keepAlive = false;
        qint64 bodyLeft = 0;
        ProbeResult result;
    };

    void Send(int slot);
    void Connect(int slot, const QString& host, int port, bool tls);
    void OnReadyRead(int slot);
    void OnSocketError(int slot, int error);
    void OnDeadline(int slot);
    // Reads what the buffer holds of the status line and headers; false once the slot ended.
    bool ReadHead(int slot);
    void OnHeaders(int slot);
    void FinishWith(int slot, int code, const QString& detail = {});
    void Deliver(int slot, ProbeResult result, bool keepConnection);
    void DropSocket(Slot& s);

    NetSession& m_session;
    NetProber m_proxied;
    int m_timeoutMs = kTransferTimeoutMs;
    QByteArray m_buffer; // what a read of the head looks at
    std::array<Slot, 8> m_slots;
};

} // namespace brindle
