// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetProber.h"

#include "platform/net/NetSession.h"
#include "status/LinkResult.h"

#include <string>
#include <utility>

namespace brindle {

int UrlRefusal(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || scheme.isEmpty())
        return kErrBadUrl;
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return kErrUnknownScheme;
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return kErrBadUrl;
    // The reserved top-level name never resolves; no resolver is asked (as RFC 6761 wants).
    if (host == QLatin1String("invalid") || host.endsWith(QLatin1String(".invalid")))
        return kErrNameNotResolved;
    return 0;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A host that QUrl takes as written: lower-case labels of letters, digits and inner hyphens, or
// four decimal numbers without leading zeros. Anything that could be an address in another
// spelling (QUrl turns "127.1" or "0x7f.1" into "127.0.0.1"), an international name or the
// reserved name "invalid" is left to QUrl.
bool IsPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 253)
        return false;
    std::size_t labels = 0;
    bool numeric = true;
    for (std::size_t begin = 0; begin <= host.size();) {
        std::size_t end = host.find('.', begin);
        if (end == std::string_view::npos)
            end = host.size();
        const std::string_view label = host.substr(begin, end - begin);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            label.starts_with("xn--"))
            return false;
        bool digits = true;
        int value = 0;
        for (char c : label) {
            if (!((c >= 'a' && c <= 'z') || IsDigit(c) || c == '-'))
                return false;
            digits = digits && IsDigit(c);
            if (digits && value <= 255)
                value = value * 10 + (c - '0');
        }
        const bool octet = digits && value <= 255 && (label.size() == 1 || label[0] != '0');
        numeric = numeric && octet;
        ++labels;
        if (end == host.size() && IsDigit(label.front()))
            // The last label decides whether QUrl reads the host as an address.
            return numeric && labels == 4;
        begin = end + 1;
    }
    return host != "invalid" && !host.ends_with(".invalid");
}

// Characters of a path or query that QUrl keeps as they are: the unreserved and the
// sub-delimiters, ':', '@', '/' and '?'. A '%' is not among them: QUrl rewrites escapes.
bool IsPlainPathChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
    case '/':
    case '?':
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsPlainHttpUrl(std::string_view url) {
    std::size_t at = 0;
    if (url.starts_with("http://"))
        at = 7;
    else if (url.starts_with("https://"))
        at = 8;
    else
        return false;
    std::size_t end = url.find_first_of(":/?", at);
    if (end == std::string_view::npos)
        end = url.size();
    if (!IsPlainHost(url.substr(at, end - at)))
        return false;
    at = end;
    if (at < url.size() && url[at] == ':') {
        end = url.find_first_of("/?", ++at);
        if (end == std::string_view::npos)
            end = url.size();
        const std::string_view port = url.substr(at, end - at);
        if (port.empty() || port.size() > 5 || port.front() == '0')
            return false;
        long value = 0;
        for (char c : port) {
            if (!IsDigit(c))
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 65535)
            return false;
        at = end;
    }
    for (; at < url.size(); ++at)
        if (!IsPlainPathChar(url[at]))
            return false;
    return true;
}

NetProber::NetProber(NetSession& session, Mode mode, QObject* parent)
    : QObject(parent), m_session(session), m_mode(mode), m_engine(CurlEngine::Instance()),
      m_readLimit(kPageReadLimit) {
    connect(m_engine.get(), &CurlEngine::hostFreed, this, [this] { HostFreed(); });
}

NetProber::~NetProber() {
    for (int slot = 0; slot < static_cast<int>(m_requests.size()); ++slot)
        Cancel(slot);
}

NetProber::Request& NetProber::SlotAt(int slot) {
    if (slot < 0)
        slot = 0;
    if (static_cast<std::size_t>(slot) >= m_requests.size())
        m_requests.resize(static_cast<std::size_t>(slot) + 1);
    return m_requests[static_cast<std::size_t>(slot)];
}

bool NetProber::HostBusy(const std::string& url) const {
    return m_engine->HostBusy(CurlEngine::HostKey(url));
}

std::chrono::milliseconds NetProber::HostReadyIn(const std::string& url) const {
    return m_engine->HostReadyIn(CurlEngine::HostKey(url));
}

void NetProber::Start(int slot, const std::string& url, int delayMs) {
    Cancel(slot);
    Request& r = SlotAt(slot);
    r.active = true;
    if (IsPlainHttpUrl(url)) {
        r.plainUrl = url;
        r.url = QUrl();
    } else {
        r.plainUrl.clear();
        r.url = QUrl(QString::fromStdString(url));
    }
    r.redirects = 0;
    r.spentMs = 0;
    r.permanentUrl = QUrl();
    r.temporaryHop = false;
    Send(slot, delayMs);
}

void NetProber::Cancel(int slot) {
    Request& r = SlotAt(slot);
    ++r.generation;
    if (r.transfer)
        m_engine->Cancel(std::exchange(r.transfer, 0));
    r.active = false;
}

void NetProber::Send(int slot, int delayMs) {
    Request& r = SlotAt(slot);
    if (const int refusal = r.plainUrl.empty() ? UrlRefusal(r.url) : 0) {
        FinishWith(slot, refusal);
        return;
    }
    if (!m_session.IsOpen()) {
        FinishWith(slot, kErrNetworkFailure);
        return;
    }
    const int left = m_timeoutMs - r.spentMs;
    if (left <= 0) {
        FinishWith(slot, kErrTimeout);
        return;
    }
    HttpRequest request;
    request.url = r.plainUrl.empty()
                      ? r.url.toString(QUrl::FullyEncoded | QUrl::RemoveFragment).toStdString()
                      : r.plainUrl;
    request.timeoutMs = left;
    if (m_mode == Mode::Fetch) {
        request.read = HttpRequest::Read::Body;
        request.maxBytes = m_readLimit;
        request.stopAtHeadEnd = true;
    }
    const ProxySpec& proxy = m_session.Proxy();
    request.proxy = proxy.url;
    request.proxyUser = proxy.user;
    request.proxyPassword = proxy.password;
    CurlEngine::Progress progress;
    if (m_progress)
        progress = [this, slot](CurlEngine::Stage stage) {
            switch (stage) {
            case CurlEngine::Stage::Connecting:
                Report(slot, Stage::Connecting, {});
                break;
            case CurlEngine::Stage::RequestSent:
                Report(slot, Stage::RequestSent, {});
                break;
            case CurlEngine::Stage::ResponseReceived:
                Report(slot, Stage::ResponseReceived, {});
                break;
            case CurlEngine::Stage::Receiving:
                Report(slot, Stage::Receiving, {});
                break;
            }
        };
    const std::uint64_t generation = r.generation;
    r.transfer = m_engine->Submit(
        std::move(request), delayMs,
        [this, slot, generation](HttpAnswer answer) {
            Request& now = SlotAt(slot);
            if (now.generation != generation)
                return;
            now.transfer = 0;
            OnAnswer(slot, std::move(answer));
        },
        std::move(progress));
}

void NetProber::OnAnswer(int slot, HttpAnswer answer) {
    Request& r = SlotAt(slot);
    r.spentMs += answer.elapsedMs;
    if (answer.error != 0) {
        FinishWith(slot, answer.error, std::move(answer.errorText));
        return;
    }
    if (IsRedirect(answer.status) && !answer.location.empty()) {
        const QUrl target = QUrl::fromEncoded(QByteArray::fromStdString(answer.location));
        if (!target.isEmpty()) {
            if (++r.redirects > kMaxRedirects) {
                FinishWith(slot, kErrRedirectFailed);
                return;
            }
            if (!r.plainUrl.empty())
                r.url = QUrl(QString::fromStdString(std::exchange(r.plainUrl, {})));
            r.url = r.url.resolved(target);
            if (!r.temporaryHop && IsPermanentRedirect(answer.status))
                r.permanentUrl = r.url;
            else
                r.temporaryHop = true;
            Report(slot, Stage::Redirect, r.url);
            Send(slot, 0);
            return;
        }
    }
    ProbeResult result;
    result.result = answer.status;
    result.statusText = std::move(answer.reason);
    if (answer.status == 200) {
        if (r.permanentUrl.isValid())
            result.location = r.permanentUrl.toString().toStdString();
        if (const long long modified = HttpDateSeconds(answer.lastModified); modified >= 0)
            result.lastModified = modified;
        if (m_mode == Mode::Fetch && !answer.body.empty()) {
            result.page = ExtractPageMeta(
                PageTextAsUtf8(answer.body, CharsetOfContentType(answer.contentType)));
            result.pageRead = true;
        }
    }
    result.retryAfter = RetryAfterSeconds(answer.retryAfter);
    Deliver(slot, std::move(result));
}

void NetProber::FinishWith(int slot, int code, std::string detail) {
    Request& r = SlotAt(slot);
    if (!r.active)
        return;
    ProbeResult result;
    result.result = code;
    result.statusText = std::move(detail);
    // Refused before anything was sent: the result still comes from the event loop, never from
    // inside Start.
    const std::uint64_t generation = r.generation;
    r.active = false;
    QMetaObject::invokeMethod(
        this,
        [this, slot, generation, result = std::move(result)]() mutable {
            if (SlotAt(slot).generation == generation)
                Complete(slot, std::move(result));
        },
        Qt::QueuedConnection);
}

void NetProber::Deliver(int slot, ProbeResult result) {
    Request& r = SlotAt(slot);
    r.active = false;
    Complete(slot, std::move(result));
}

} // namespace brindle
