// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// NetProber: the engines' prober over QtNetwork. A probe sends a GET and stops reading once the
// answer's headers are in (a short body only while it is already arriving); a fetch reads on to
// the end of the page's head or 256 KiB. Redirects are followed as the classic client did by
// default (a bounded number; more give 12156); the location is where the permanent ones (301,
// 308) led before the first temporary one. Errors become the internet error numbers in one table
// (NetErrors.h). Every request ends within the transfer time-out (12002).

#include "status/Prober.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace brindle {

class NetSession;

// How long one request may take from sending to its end.
inline constexpr int kTransferTimeoutMs = 30'000;
// Redirects followed for one request before it fails with 12156.
inline constexpr int kMaxRedirects = 10;
// A probe reads a body up to this size to its end, so that the connection can be reused, but only
// for this long after the headers: the answer is known from its headers, and a server that stalls
// after them must not turn it into a time-out.
inline constexpr qint64 kShortBody = 16 * 1024;
inline constexpr int kBodyGraceMs = 250;

// Seconds a Retry-After value asks for (a number or an HTTP date); -1 when unusable.
int RetryAfterSeconds(const QByteArray& value);
// Whether an HTTP status names another URL in its Location header.
inline bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
// Whether it says the page moved for good. Only these repair a bookmark's URL: a temporary
// redirect (a login page, a geo redirect, a shortener's tracking hop) leaves it as it is.
inline bool IsPermanentRedirect(int status) {
    return status == 301 || status == 308;
}

class NetProber : public QObject, public Prober {
    Q_OBJECT
  public:
    enum class Mode { Probe, Fetch };
    // How far a request has come, for a dialog that shows it.
    enum class Stage { Connecting, RequestSent, Redirect, ResponseReceived, Receiving };
    using Progress = std::function<void(int slot, Stage stage, const QUrl& url)>;

    NetProber(NetSession& session, Mode mode, QObject* parent = nullptr);
    ~NetProber() override;

    void Start(int slot, const std::string& url, int delayMs) override;
    void Cancel(int slot) override;

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // Tests shorten the time-out.
    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // The byte limit of a fetch (kPageReadLimit).
    void SetReadLimit(std::size_t bytes) { m_readLimit = bytes; }

  private:
    struct Request {
        std::shared_ptr<QNetworkAccessManager> manager;
        QPointer<QNetworkReply> reply;
        QTimer* delay = nullptr;
        QTimer* deadline = nullptr;
        std::uint64_t generation = 0;
        bool active = false;
        QUrl url;
        int redirects = 0;
        // Where the permanent redirects (301, 308) before the first temporary one led.
        QUrl permanentUrl;
        bool temporaryHop = false;
        QList<QSslError> sslErrors; // what the secure connection found wrong
        ProbeResult result;
        QByteArray body;
        qsizetype headScanned = 0;
        QByteArray contentType;
    };

    void Send(int slot);
    void OnHeaders(int slot);
    void OnData(int slot);
    void OnFinished(int slot);
    void OnDeadline(int slot);
    void Finish(int slot);
    void FinishWith(int slot, int result, const QString& detail = {});
    void DropReply(Request& r);
    // Follows the redirect the reply names; false when it names none.
    bool FollowRedirect(int slot);
    void Deliver(int slot, ProbeResult result);
    void Report(int slot, Stage stage, const QUrl& url) {
        if (m_progress)
            m_progress(slot, stage, url);
    }

    NetSession& m_session;
    Mode m_mode;
    int m_timeoutMs = kTransferTimeoutMs;
    std::size_t m_readLimit;
    Progress m_progress;
    std::array<Request, 8> m_requests;
};

} // namespace brindle
