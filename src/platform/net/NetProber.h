// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// NetProber: the engines' prober over the HTTP engine (CurlEngine). A probe sends a GET and
// stops reading once the answer's headers are in (a short body only while it is already
// arriving); a fetch reads on to the end of the page's head or 256 KiB. Redirects are followed
// here, not by the engine (a bounded number; more give 12156); the location is where the
// permanent ones (301, 308) led before the first temporary one. Every request ends within the
// transfer time-out (12002), counted while it runs, not while it waits its turn at a busy host.

#include "platform/net/CurlEngine.h"
#include "status/Prober.h"

#include <QObject>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class NetSession;

// How long one request may take from sending to its end.
inline constexpr int kTransferTimeoutMs = 30'000;
// Redirects followed for one request before it fails with 12156.
inline constexpr int kMaxRedirects = 10;

// Whether an HTTP status names another URL in its Location header.
inline bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
// Whether it says the page moved for good. Only these repair a bookmark's URL: a temporary
// redirect (a login page, a geo redirect, a shortener's tracking hop) leaves it as it is.
inline bool IsPermanentRedirect(int status) {
    return status == 301 || status == 308;
}

// The first check of a URL before anything is sent: 0 when it can be asked, else the error
// number (a bad URL, a scheme other than http and https, a name under the reserved top-level
// name "invalid", which no resolver is asked about).
int UrlRefusal(const QUrl& url);

// Whether a URL is already in the form the engine sends: a lower-case http or https scheme and
// host name (or dotted-quad address), an optional port, and a path and query of characters that
// need no escape. Such a URL is sent as it is, with no parse into a QUrl and back (several
// thousand instructions for every request of a large check); every other URL takes that parse.
bool IsPlainHttpUrl(std::string_view url);

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
    bool HostBusy(const std::string& url) const override;
    std::chrono::milliseconds HostReadyIn(const std::string& url) const override;

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // Tests shorten the time-out.
    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // The byte limit of a fetch (kPageReadLimit).
    void SetReadLimit(std::size_t bytes) { m_readLimit = bytes; }
    CurlEngine& Engine() { return *m_engine; }

  private:
    struct Request {
        std::uint64_t transfer = 0; // the engine's request; 0 = none running
        std::uint64_t generation = 0;
        bool active = false;
        // The URL of the next hop: `plainUrl` while it is plain (IsPlainHttpUrl), else `url`.
        std::string plainUrl;
        QUrl url;
        int redirects = 0;
        int spentMs = 0; // time the hops so far took
        // Where the permanent redirects (301, 308) before the first temporary one led.
        QUrl permanentUrl;
        bool temporaryHop = false;
    };

    Request& SlotAt(int slot);
    void Send(int slot, int delayMs);
    void OnAnswer(int slot, HttpAnswer answer);
    void FinishWith(int slot, int result, std::string detail = {});
    void Deliver(int slot, ProbeResult result);
    void Report(int slot, Stage stage, const QUrl& url) {
        if (m_progress)
            m_progress(slot, stage, url);
    }

    NetSession& m_session;
    Mode m_mode;
    std::shared_ptr<CurlEngine> m_engine;
    int m_timeoutMs = kTransferTimeoutMs;
    std::size_t m_readLimit;
    Progress m_progress;
    std::vector<Request> m_requests;
};

} // namespace brindle
