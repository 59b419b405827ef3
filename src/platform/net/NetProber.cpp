// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetProber.h"

#include "platform/net/NetErrors.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace brindle {

int RetryAfterSeconds(const QByteArray& value) {
    if (value.isEmpty())
        return -1;
    bool ok = false;
    const int seconds = value.trimmed().toInt(&ok);
    if (ok)
        return seconds >= 0 ? seconds : -1;
    const QDateTime when =
        QDateTime::fromString(QString::fromLatin1(value.trimmed()), Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    return static_cast<int>(std::max<qint64>(0, QDateTime::currentDateTimeUtc().secsTo(when)));
}

NetProber::NetProber(NetSession& session, Mode mode, QObject* parent)
    : QObject(parent), m_session(session), m_mode(mode), m_readLimit(kPageReadLimit) {
    for (int slot = 0; slot < static_cast<int>(m_requests.size()); ++slot) {
        Request& r = m_requests[static_cast<std::size_t>(slot)];
        r.delay = new QTimer(this);
        r.delay->setSingleShot(true);
        connect(r.delay, &QTimer::timeout, this, [this, slot] { Send(slot); });
        r.deadline = new QTimer(this);
        r.deadline->setSingleShot(true);
        connect(r.deadline, &QTimer::timeout, this, [this, slot] { OnDeadline(slot); });
    }
}

NetProber::~NetProber() {
    for (Request& r : m_requests)
        DropReply(r);
}

void NetProber::Start(int slot, const std::string& url, int delayMs) {
    Request& r = m_requests.at(static_cast<std::size_t>(slot));
    Cancel(slot);
    r.active = true;
    r.url = QUrl(QString::fromStdString(url));
    r.redirects = 0;
    r.permanentUrl = QUrl();
    r.temporaryHop = false;
    r.sslErrors.clear();
    r.result = {};
    r.body.clear();
    r.headScanned = 0;
    r.contentType.clear();
    if (delayMs > 0)
        r.delay->start(delayMs);
    else
        Send(slot);
}

void NetProber::Cancel(int slot) {
    Request& r = m_requests.at(static_cast<std::size_t>(slot));
    ++r.generation;
    DropReply(r);
    r.delay->stop();
    r.deadline->stop();
    r.active = false;
    r.manager.reset();
}

void NetProber::DropReply(Request& r) {
    if (!r.reply)
        return;
    QNetworkReply* reply = r.reply;
    r.reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

void NetProber::Send(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    const QString scheme = r.url.scheme().toLower();
    if (!r.url.isValid() || scheme.isEmpty()) {
        FinishWith(slot, kErrBadUrl);
        return;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        FinishWith(slot, kErrUnknownScheme);
        return;
    }
    if (r.url.host().isEmpty()) {
        FinishWith(slot, kErrBadUrl);
        return;
    }
    // The reserved top-level name never resolves; no resolver is asked (as RFC 6761 wants).
    const QString host = r.url.host().toLower();
    if (host == QLatin1String("invalid") || host.endsWith(QLatin1String(".invalid"))) {
        FinishWith(slot, kErrNameNotResolved);
        return;
    }
    if (!r.manager)
        r.manager = m_session.Manager(slot);
    if (!r.manager) {
        FinishWith(slot, kErrNetworkFailure);
        return;
    }
    if (r.redirects == 0)
        r.deadline->start(m_timeoutMs);
    QNetworkReply* reply = r.manager->get(NetSession::MakeRequest(r.url));
    // A probe needs the headers only: the reply never holds more than this, whatever the
    // server sends. A fetch reads as data arrives and stops at its limit (a bounded read
    // buffer stalls compressed downloads).
    if (m_mode == Mode::Probe)
        reply->setReadBufferSize(16 * 1024);
    r.reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, slot] { OnHeaders(slot); });
    if (m_mode == Mode::Fetch)
        connect(reply, &QIODevice::readyRead, this, [this, slot] { OnData(slot); });
    connect(reply, &QNetworkReply::finished, this, [this, slot] { OnFinished(slot); });
    connect(reply, &QNetworkReply::sslErrors, this, [this, slot](const QList<QSslError>& errors) {
        m_requests[static_cast<std::size_t>(slot)].sslErrors = errors;
    });
    if (m_progress) {
        connect(reply, &QNetworkReply::socketStartedConnecting, this,
                [this, slot] { Report(slot, Stage::Connecting, {}); });
        connect(reply, &QNetworkReply::requestSent, this,
                [this, slot] { Report(slot, Stage::RequestSent, {}); });
    }
}

bool NetProber::FollowRedirect(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    const int status = r.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!IsRedirect(status))
        return false;
    const QUrl target = r.reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (target.isEmpty())
        return false;
    if (++r.redirects > kMaxRedirects) {
        FinishWith(slot, kErrRedirectFailed);
        return true;
    }
    r.url = r.reply->url().resolved(target);
    if (!r.temporaryHop && IsPermanentRedirect(status))
        r.permanentUrl = r.url;
    else
        r.temporaryHop = true;
    Report(slot, Stage::Redirect, r.url);
    DropReply(r);
    Send(slot);
    return true;
}

void NetProber::OnHeaders(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    if (!r.reply || r.result.result != 0)
        return;
    const QVariant status = r.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return; // nothing parsed yet: the end of the reply tells what happened
    if (FollowRedirect(slot))
        return;
    ProbeResult& result = r.result;
    result.result = status.toInt();
    result.statusText =
        r.reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toStdString();
    Report(slot, Stage::ResponseReceived, {});
    if (result.result == 200) {
        if (r.permanentUrl.isValid())
            result.location = r.permanentUrl.toString().toStdString();
        const QDateTime modified =
            r.reply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
        if (modified.isValid())
            result.lastModified = modified.toSecsSinceEpoch();
    }
    result.retryAfter = RetryAfterSeconds(r.reply->rawHeader("Retry-After"));
    r.contentType = r.reply->rawHeader("Content-Type");
    if (m_mode == Mode::Probe || result.result != 200) {
        // A short body that is all but there is taken in, so the connection stays open for
        // the next request, but only while it is arriving: the answer is known already. Anything
        // else ends the request here.
        const QVariant length = r.reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() <= kShortBody && !r.reply->isFinished()) {
            r.deadline->start(kBodyGraceMs);
            return;
        }
        Finish(slot);
        return;
    }
    OnData(slot);
}

void NetProber::OnData(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    if (!r.reply || m_mode != Mode::Fetch)
        return;
    if (r.result.result == 0) {
        OnHeaders(slot);
        return;
    }
    Report(slot, Stage::Receiving, {});
    const qsizetype room = static_cast<qsizetype>(m_readLimit) - r.body.size();
    if (room > 0)
        r.body.append(r.reply->read(room));
    const std::string_view page(r.body.constData(), static_cast<std::size_t>(r.body.size()));
    if (FindHeadEnd(page, static_cast<std::size_t>(r.headScanned)) != std::string_view::npos ||
        r.body.size() >= static_cast<qsizetype>(m_readLimit)) {
        Finish(slot);
        return;
    }
    r.headScanned = r.body.size();
}

void NetProber::OnFinished(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    if (!r.reply)
        return;
    if (r.result.result == 0) {
        const QVariant status = r.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            OnHeaders(slot);
        } else if (r.reply->error() == QNetworkReply::SslHandshakeFailedError) {
            FinishWith(slot, InternetErrorOfTls(r.sslErrors),
                       r.sslErrors.isEmpty() ? r.reply->errorString()
                                             : r.sslErrors.front().errorString());
            return;
        } else {
            FinishWith(slot, InternetErrorOf(r.reply->error()));
            return;
        }
    }
    if (!r.reply)
        return; // finished or redirected above
    if (m_mode == Mode::Fetch) {
        const qsizetype room = static_cast<qsizetype>(m_readLimit) - r.body.size();
        if (room > 0)
            r.body.append(r.reply->read(room));
    }
    Finish(slot);
}

void NetProber::OnDeadline(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    if (!r.reply || r.result.result == 0) {
        FinishWith(slot, kErrTimeout);
        return;
    }
    // The headers are in: the answer stands, with what has arrived of the page.
    if (m_mode == Mode::Fetch) {
        const qsizetype room = static_cast<qsizetype>(m_readLimit) - r.body.size();
        if (room > 0)
            r.body.append(r.reply->read(room));
    }
    Finish(slot);
}

void NetProber::Finish(int slot) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    ProbeResult result = std::move(r.result);
    if (m_mode == Mode::Fetch && result.result == 200 && !r.body.isEmpty()) {
        const std::string_view page(r.body.constData(), static_cast<std::size_t>(r.body.size()));
        result.page = ExtractPageMeta(
            PageTextAsUtf8(page, CharsetOfContentType(r.contentType.toStdString())));
        result.pageRead = true;
    }
    Deliver(slot, std::move(result));
}

void NetProber::FinishWith(int slot, int code, const QString& detail) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    if (!r.active)
        return;
    ProbeResult result;
    result.result = code;
    result.statusText = detail.toStdString();
    Deliver(slot, std::move(result));
}

void NetProber::Deliver(int slot, ProbeResult result) {
    Request& r = m_requests[static_cast<std::size_t>(slot)];
    DropReply(r);
    r.delay->stop();
    r.deadline->stop();
    r.active = false;
    r.manager.reset();
    r.body = QByteArray();
    // Results reach the engine as queued events, never from inside a call of the engine's.
    const std::uint64_t generation = r.generation;
    QMetaObject::invokeMethod(
        this,
        [this, slot, generation, result = std::move(result)]() mutable {
            if (m_requests[static_cast<std::size_t>(slot)].generation == generation)
                Complete(slot, std::move(result));
        },
        Qt::QueuedConnection);
}

} // namespace brindle
