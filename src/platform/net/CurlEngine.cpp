// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/CurlEngine.h"

#include "status/LinkResult.h"
#include "status/PageMeta.h"
#include "status/Prober.h"
#include "status/UrlAuthority.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include <sys/epoll.h>
#include <unistd.h>

namespace brindle {

namespace {

// A probe reads a body up to this size to its end, so that the connection can be reused, but only
// for this long after the headers: the answer is known from its headers, and a server that stalls
// after them must not turn it into a time-out.
constexpr long long kShortBody = 16 * 1024;
constexpr int kBodyGraceMs = 250;
// The pause after a 429 or 503 that named no usable Retry-After: doubled each time, up to the top.
constexpr int kFirstBackoffMs = 500;
constexpr int kLastBackoffMs = 30'000;
constexpr int kMaxRetryAfterSeconds = 60;
constexpr double kRateMargin = 1.05;
// Under load the sockets are looked at once per gathering span rather than at every event: each
// wake of the process costs more than the work it does. The span is this share of a request's
// usual time, up to the top, so that what it costs in throughput stays small.
constexpr double kGatherShare = 0.3;
constexpr double kMaxGatherMs = 80;
constexpr std::size_t kGatherFromRunning = 16;
// How far from its own time-out a transfer must be for its answer to wait for its host's next
// turn, and how near a turn must be to count as now (see SocketsCanWaitUntil).
constexpr auto kTimeoutMargin = std::chrono::milliseconds(250);
constexpr auto kTurnSlack = std::chrono::milliseconds(10);
constexpr std::size_t kSpareHandles = 256;
constexpr long kIdleConnectionSeconds = 5;
// An answer's head longer than this is not read on: what it said so far stands (the status and
// the headers a check uses come first in any answer seen in practice).
constexpr std::size_t kMaxHead = 64 * 1024;

std::string Lower(std::string_view text) {
    // ASCII only: header names, media types and host names, whatever the locale says.
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool IsTextType(std::string_view contentType) {
    const std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
    if (type.empty())
        return true; // undeclared: read, the caller looks at what came
    return type.starts_with("text/") || type == "application/xhtml+xml" ||
           type == "application/xml" || type == "application/json" || type.ends_with("+xml") ||
           type.ends_with("+json");
}

bool IsAddressLiteral(const std::string& host) {
    if (host.starts_with('['))
        return true;
    return !host.empty() && std::all_of(host.begin(), host.end(),
                                        [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

curl_slist* IdentityHeader() {
    static curl_slist* const header = curl_slist_append(nullptr, "Accept-Encoding: identity");
    return header;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

int RetryAfterSeconds(const std::string& value) {
    const std::string_view text = Trim(value);
    if (text.empty())
        return -1;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 9)
            return -1;
        return std::stoi(std::string(text));
    }
    const long long when = HttpDateSeconds(std::string(text));
    if (when < 0)
        return -1;
    return static_cast<int>(std::max<long long>(0, when - static_cast<long long>(time(nullptr))));
}

long long HttpDateSeconds(const std::string& value) {
    const std::string text(Trim(value));
    // All three HTTP date forms; curl_getdate also takes looser texts, so a digit and a month
    // name at least must be there.
    if (text.empty() || text.find_first_of("0123456789") == std::string::npos)
        return -1;
    const time_t when = curl_getdate(text.c_str(), nullptr);
    return when < 0 ? -1 : static_cast<long long>(when);
}

struct CurlEngine::Transfer {
    CurlEngine* engine = nullptr;
    std::uint64_t id = 0;
    HttpRequest request;
    Done done;
    Progress progress;
    std::string host;
    Host* hostState = nullptr; // while started (a host with a transfer running is never dropped)
    Clock::time_point notBefore{};
    Clock::time_point startedAt{};
    CURL* easy = nullptr;
    bool started = false;
    bool sent = false; // the request went out (or never will): its start is counted
    bool finished = false;
    bool headDone = false;
    bool readBody = false;  // the body is kept
    bool answered = false;  // the answer stands, whatever ends the transfer now
    bool receiving = false; // "Receiving" was reported
    bool inGrace = false;   // reading a short body after the answer, for a while
    long long contentLength = -1;
    std::size_t headBytes = 0;
    HttpAnswer answer;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

std::shared_ptr<CurlEngine> CurlEngine::Instance() {
    thread_local std::weak_ptr<CurlEngine> current;
    std::shared_ptr<CurlEngine> engine = current.lock();
    if (!engine) {
        engine = std::make_shared<CurlEngine>();
        current = engine;
    }
    return engine;
}

CurlEngine::CurlEngine() {
    InitCurlOnce();
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlEngine::SocketCallback);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlEngine::TimerCallback);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_curlTimer = new QTimer(this);
    m_curlTimer->setSingleShot(true);
    connect(m_curlTimer, &QTimer::timeout, this, &CurlEngine::OnTimeout);
    m_pumpTimer = new QTimer(this);
    m_pumpTimer->setSingleShot(true);
    // A host's next turn is due at a set instant: a coarse timer would lose up to 5 % of it.
    m_pumpTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pumpTimer, &QTimer::timeout, this, [this] {
        Handling scope(*this);
        // Answers that waited for a host's turn are read first: the connections they free are
        // the ones this turn can use.
        if (m_waitingForTurn)
            EndWaitForTurn();
        Pump();
    });
    m_graceTimer = new QTimer(this);
    m_graceTimer->setSingleShot(true);
    connect(m_graceTimer, &QTimer::timeout, this, &CurlEngine::OnGrace);
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll >= 0) {
        m_epollNotifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
        connect(m_epollNotifier, &QSocketNotifier::activated, this, &CurlEngine::OnSockets);
    }
    m_gatherTimer = new QTimer(this);
    m_gatherTimer->setSingleShot(true);
    m_gatherTimer->setTimerType(Qt::PreciseTimer);
    connect(m_gatherTimer, &QTimer::timeout, this, [this] {
        m_waitingForTurn = false;
        m_epollNotifier->setEnabled(true);
        OnSockets();
    });
    SetLimits(m_limits);
}

CurlEngine::~CurlEngine() {
    for (auto& [id, t] : m_transfers)
        if (t->easy) {
            curl_multi_remove_handle(m_multi, t->easy);
            curl_easy_cleanup(t->easy);
        }
    m_transfers.clear();
    for (CURL* h : m_spareHandles)
        curl_easy_cleanup(h);
    curl_multi_cleanup(m_multi);
    delete m_epollNotifier;
    if (m_epoll >= 0)
        close(m_epoll);
}

void CurlEngine::SetLimits(const HostLimits& limits) {
    m_limits = limits;
    m_limits.maxConnections = std::max(1, m_limits.maxConnections);
    m_limits.perHost = std::max(1, m_limits.perHost);
    // Connections kept for reuse (see StartTransfer): enough for every running transfer and as
    // many idle ones, so that curl seldom has to look through them all for one to close.
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, static_cast<long>(KeptConnections()));
    SchedulePump();
}

std::string CurlEngine::HostKey(const std::string& url) {
    const std::string_view authority = UrlAuthority(url);
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        return Lower(
            authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1));
    }
    return Lower(authority.substr(0, authority.find(':')));
}

int CurlEngine::DueWaiting(const Host& host, Clock::time_point now) const {
    // A request that waits to be asked again later (a retry's pause) holds no place yet: once
    // due, it waits for the first connection of its host to come free.
    int waiting = 0;
    for (std::uint64_t id : host.queue)
        waiting += m_transfers.at(id)->notBefore <= now;
    return waiting;
}

bool CurlEngine::HostBusy(const std::string& hostKey) const {
    const auto it = m_hosts.find(hostKey);
    if (it == m_hosts.end())
        return false;
    const Host& h = it->second;
    const Clock::time_point now = Clock::now();
    return h.active + DueWaiting(h, now) >= m_limits.perHost || h.backoffUntil > now;
}

std::chrono::milliseconds CurlEngine::HostReadyIn(const std::string& hostKey) const {
    using std::chrono::milliseconds;
    const auto it = m_hosts.find(hostKey);
    if (it == m_hosts.end())
        return milliseconds::zero();
    const Host& h = it->second;
    const Clock::time_point now = Clock::now();
    const int waiting = DueWaiting(h, now);
    if (h.active + waiting >= m_limits.perHost)
        return Prober::kWhenFree;
    const auto until = [now](Clock::time_point when) {
        return std::max(milliseconds(1), std::chrono::ceil<milliseconds>(when - now));
    };
    if (h.backoffUntil > now)
        return until(h.backoffUntil);
    const std::size_t window = RateWindow();
    if (window == 0)
        return milliseconds::zero();
    const Clock::duration span = RateSpan();
    const auto first = std::find_if(h.starts.begin(), h.starts.end(),
                                    [&](Clock::time_point s) { return s + span > now; });
    const auto inSpan = static_cast<std::size_t>(h.starts.end() - first);
    // Requests handed over but not sent, or due and waiting, go out before a new one.
    const std::size_t recent = inSpan + static_cast<std::size_t>(h.unsent + waiting);
    if (recent < window)
        return milliseconds::zero();
    // A place comes free when the oldest starts leave the window; those not sent yet leave it
    // a window after they go out at the earliest.
    const std::size_t leaving = recent - window;
    return leaving < inSpan ? until(*(first + static_cast<std::ptrdiff_t>(leaving)) + span)
                            : until(now + span);
}

std::size_t CurlEngine::RateWindow() const {
    return m_limits.hostRate > 0 ? static_cast<std::size_t>(std::max(1.0, m_limits.hostRate)) : 0;
}

CurlEngine::Clock::duration CurlEngine::RateSpan() const {
    // The span is a little longer than the rate asks: a busy server reads some requests later
    // than others, and counts them when it reads them.
    const std::size_t window = RateWindow();
    return window ? std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        kRateMargin * static_cast<double>(window) / m_limits.hostRate))
                  : Clock::duration::zero();
}

std::uint64_t CurlEngine::Submit(HttpRequest request, int delayMs, Done done, Progress progress) {
    auto t = std::make_unique<Transfer>();
    t->engine = this;
    t->id = m_nextId++;
    t->host = HostKey(request.url);
    t->request = std::move(request);
    t->done = std::move(done);
    t->progress = std::move(progress);
    t->notBefore = Clock::now() + std::chrono::milliseconds(std::max(0, delayMs));
    Host& host = m_hosts[t->host];
    if (host.queue.empty())
        m_waitingHosts.push_back(t->host);
    host.queue.push_back(t->id);
    ++m_queuedCount;
    const std::uint64_t id = t->id;
    m_transfers.emplace(id, std::move(t));
    SchedulePump();
    return id;
}

void CurlEngine::Cancel(std::uint64_t id) {
    const auto it = m_transfers.find(id);
    if (it == m_transfers.end())
        return;
    Transfer& t = *it->second;
    if (!t.finished) {
        Host& host = m_hosts[t.host];
        if (t.started) {
            LeaveGrace(t);
            if (!t.sent)
                --host.unsent;
            curl_multi_remove_handle(m_multi, t.easy);
            ReturnHandle(t.easy);
            t.easy = nullptr;
            --host.active;
            --m_running;
        } else {
            std::erase(host.queue, id);
            --m_queuedCount;
        }
    }
    m_transfers.erase(it);
    SchedulePump();
}

void CurlEngine::SchedulePump() {
    m_pumpWanted = true;
    // Inside a handler the pass runs as it ends; otherwise on the next turn of the loop.
    if (m_handling > 0 || m_pumpQueued)
        return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pumpQueued = false;
            Handling scope(*this);
        },
        Qt::QueuedConnection);
}

CurlEngine::Handling::~Handling() {
    if (engine.m_handling > 1) {
        --engine.m_handling;
        return;
    }
    // What the handler left to do runs now rather than on later turns of the loop, each of
    // which would cost a wake: the queue pass, and whatever curl wants done at once.
    for (;;) {
        if (engine.m_pumpWanted) {
            engine.m_pumpWanted = false;
            engine.Pump();
        } else if (engine.m_curlDue) {
            engine.m_curlDue = false;
            int running = 0;
            curl_multi_socket_action(engine.m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
            engine.ReadDone();
        } else if (!engine.WatchSockets()) {
            break;
        }
    }
    --engine.m_handling;
}

void CurlEngine::Pump() {
    const Clock::time_point now = Clock::now();
    Clock::time_point wake = Clock::time_point::max();
    // At most `window` starts in any `span`: "R a second" as a server counts it, so a host that
    // answered slowly for a while gets its next requests at once rather than one per 1/R.
    const std::size_t window = RateWindow();
    const Clock::duration span = RateSpan();
    // Hosts take turns: the pass starts where the last one stopped.
    const std::size_t count = m_waitingHosts.size();
    std::vector<std::string> emptied;
    for (std::size_t k = 0;
         k < count && m_running < static_cast<std::size_t>(m_limits.maxConnections); ++k) {
        const std::string& key = m_waitingHosts[(m_rotate + k) % count];
        Host& host = m_hosts[key];
        while (!host.queue.empty() && host.active < m_limits.perHost &&
               m_running < static_cast<std::size_t>(m_limits.maxConnections)) {
            if (host.backoffUntil > now) {
                wake = std::min(wake, host.backoffUntil);
                break;
            }
            while (!host.starts.empty() && host.starts.front() + span <= now)
                host.starts.pop_front();
            if (window && host.starts.size() + host.unsent >= window) {
                // Requests not yet sent free their places only a span after they go out.
                wake =
                    std::min(wake, host.starts.empty() ? now + span : host.starts.front() + span);
                break;
            }
            if (window >= 2 && m_running < kGatherFromRunning) {
                const std::size_t able =
                    std::min(static_cast<std::size_t>(m_limits.perHost - host.active),
                             static_cast<std::size_t>(DueWaiting(host, now)));
                const Clock::time_point pair = PairTurn(host, able, now);
                if (pair > now) {
                    wake = std::min(wake, pair);
                    break;
                }
            }
            auto due = host.queue.end();
            for (auto q = host.queue.begin(); q != host.queue.end(); ++q) {
                const Transfer& t = *m_transfers.at(*q);
                if (t.notBefore <= now) {
                    due = q;
                    break;
                }
                wake = std::min(wake, t.notBefore);
            }
            if (due == host.queue.end())
                break;
            Transfer& t = *m_transfers.at(*due);
            host.queue.erase(due);
            --m_queuedCount;
            ++host.unsent;
            // While every host asked so far fits in the cache its connection is kept; beyond
            // that only a host asked twice within the rate window, or with more waiting.
            const bool keep = m_hosts.size() <= KeptConnections() ||
                              host.starts.size() + host.unsent >= 2 || !host.queue.empty();
            ++host.active;
            ++m_running;
            t.hostState = &host;
            StartTransfer(t, keep);
        }
        if (host.queue.empty())
            emptied.push_back(key);
    }
    m_rotate = count ? (m_rotate + 1) % count : 0;
    if (!emptied.empty()) {
        std::erase_if(m_waitingHosts, [&](const std::string& key) {
            return std::find(emptied.begin(), emptied.end(), key) != emptied.end() &&
                   m_hosts[key].queue.empty();
        });
    }
    // Hosts left idle are forgotten, unless their pauses still matter.
    if (m_hosts.size() > 4096) {
        std::erase_if(m_hosts, [&](const auto& entry) {
            const Host& h = entry.second;
            return h.active == 0 && h.queue.empty() && h.backoffUntil <= now &&
                   (h.starts.empty() || h.starts.back() + span <= now);
        });
    }
    if (wake != Clock::time_point::max()) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count() + 1;
        if (!m_pumpTimer->isActive() || m_pumpTimer->remainingTime() > ms)
            m_pumpTimer->start(static_cast<int>(std::max<long long>(1, ms)));
    }
}

CURL* CurlEngine::TakeHandle() {
    if (m_spareHandles.empty())
        return curl_easy_init();
    CURL* h = m_spareHandles.back();
    m_spareHandles.pop_back();
    curl_easy_reset(h);
    return h;
}

void CurlEngine::ReturnHandle(CURL* handle) {
    if (!handle)
        return;
    if (m_spareHandles.size() < kSpareHandles)
        m_spareHandles.push_back(handle);
    else
        curl_easy_cleanup(handle);
}

bool CurlEngine::StartTransfer(Transfer& t, bool keep) {
    t.started = true;
    t.startedAt = Clock::now();
    CURL* e = TakeHandle();
    // The connection is kept only for a host asked again and again; one kept for every host of a
    // large check would fill the cache, and curl then looks through all of it at every answer.
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, keep ? 0L : 1L);
    // Nor is one kept long once its host is done: curl goes through every kept connection each
    // time a transfer ends, and at the end of a large check the hosts left are few.
    curl_easy_setopt(e, CURLOPT_MAXAGE_CONN, kIdleConnectionSeconds);
    t.easy = e;
    const HttpRequest& r = t.request;
    curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    // Without decoding, the identity coding is asked for and whatever comes is kept as it is
    // (curl would undo a coding it was not asked for once any Accept-Encoding is set).
    if (r.decode)
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    else
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, IdentityHeader());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    // curl looks through its whole name cache for stale entries before every new connection
    // (a tenth of a large check's time with five seconds): kept to one, the cache holds only the
    // hosts of the last second or two. A host asked again and again keeps its connections.
    curl_easy_setopt(e, CURLOPT_DNS_CACHE_TIMEOUT, 1L);
    // A host named by its address has no second address family to race: without this curl
    // keeps the race's timer of every new connection, and wakes for it once connected.
    if (IsAddressLiteral(t.host))
        curl_easy_setopt(e, CURLOPT_HAPPY_EYEBALLS_TIMEOUT_MS, 0L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max(1, r.timeoutMs)));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlEngine::HeaderCallback);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlEngine::WriteCallback);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &CurlEngine::PrereqCallback);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &t);
    // "" keeps proxies named by the environment out: only the settings choose one.
    curl_easy_setopt(e, CURLOPT_PROXY, r.proxy.c_str());
    // Without a proxy its exceptions mean nothing: set, curl does not read them from the
    // environment for every request.
    if (r.proxy.empty())
        curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    if (!r.proxy.empty()) {
        curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        if (!r.proxyUser.empty()) {
            curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, r.proxyUser.c_str());
            curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, r.proxyPassword.c_str());
        }
    }
    if (!m_caFile.empty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, m_caFile.c_str());
        curl_easy_setopt(e, CURLOPT_PROXY_CAINFO, m_caFile.c_str());
    }
    if (t.progress)
        t.progress(Stage::Connecting);
    if (curl_multi_add_handle(m_multi, e) != CURLM_OK) {
        Finish(t, CURLE_FAILED_INIT);
        const std::uint64_t id = t.id;
        QMetaObject::invokeMethod(
            this, [this, id] { Deliver(id); }, Qt::QueuedConnection);
        return false;
    }
    return true;
}

int CurlEngine::PrereqCallback(void* data, char*, char*, int, int) {
    auto& t = *static_cast<Transfer*>(data);
    t.engine->MarkSent(t);
    if (t.progress)
        t.progress(Stage::RequestSent);
    return CURL_PREREQFUNC_OK;
}

std::size_t CurlEngine::HeaderCallback(char* data, std::size_t size, std::size_t n, void* p) {
    auto& t = *static_cast<Transfer*>(p);
    const std::size_t length = size * n;
    const std::string_view line(data, length);
    if (t.headDone)
        return length; // trailers
    t.headBytes += length;
    if (t.headBytes > kMaxHead && t.answer.status >= 200) {
        t.headDone = true;
        t.answered = true;
        return 0;
    }
    if (line.starts_with("HTTP/")) {
        // A version the connection did not negotiate is no answer of ours: HTTP/2 and 3 come
        // only over TLS, where the protocol is agreed on first.
        if (!line.starts_with("HTTP/1.") && !t.request.url.starts_with("https:")) {
            t.answer.status = 0;
            return 0;
        }
        // A new status line (after an interim answer, too): what came before is forgotten.
        HttpAnswer& a = t.answer;
        a.status = 0;
        a.reason.clear();
        a.location.clear();
        a.lastModified.clear();
        a.retryAfter.clear();
        a.contentType.clear();
        t.contentLength = -1;
        const std::size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            const std::string_view rest = line.substr(space + 1);
            if (rest.size() >= 3 && std::isdigit(static_cast<unsigned char>(rest[0])) &&
                std::isdigit(static_cast<unsigned char>(rest[1])) &&
                std::isdigit(static_cast<unsigned char>(rest[2])))
                a.status = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
            if (rest.size() > 3)
                a.reason = std::string(Trim(rest.substr(3)));
        }
        return length;
    }
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty()) {
        if (t.answer.status < 200)
            return length; // the end of an interim answer: the real one follows
        t.headDone = true;
        if (t.progress)
            t.progress(Stage::ResponseReceived);
        return DecideAfterHead(t) ? length : 0;
    }
    const std::size_t colon = trimmed.find(':');
    if (colon == std::string_view::npos)
        return length;
    const std::string name = Lower(Trim(trimmed.substr(0, colon)));
    const std::string_view value = Trim(trimmed.substr(colon + 1));
    if (name == "location")
        t.answer.location = value;
    else if (name == "last-modified")
        t.answer.lastModified = value;
    else if (name == "retry-after")
        t.answer.retryAfter = value;
    else if (name == "content-type")
        t.answer.contentType = value;
    else if (name == "content-length") {
        const std::string digits(value);
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(digits.c_str(), &end, 10);
        t.contentLength = (errno == 0 && end && *end == '\0' && n >= 0) ? n : -1;
    }
    return length;
}

bool CurlEngine::DecideAfterHead(Transfer& t) {
    const HttpRequest& r = t.request;
    const int status = t.answer.status;
    t.answered = true;
    t.readBody = r.read == HttpRequest::Read::Body && status >= 200 && status < 300 &&
                 (!r.textOnly || IsTextType(t.answer.contentType));
    if (t.readBody)
        return true;
    // The answer is known. A short body that is all but there is taken in, so the connection
    // stays open for the next request, but only while it is arriving; anything else ends here.
    if (t.contentLength == 0)
        return true;
    if (t.contentLength > 0 && t.contentLength <= kShortBody) {
        CurlEngine& engine = *t.engine;
        t.inGrace = true;
        ++engine.m_graceWaiting;
        engine.m_graceEnds.emplace_back(Clock::now() + std::chrono::milliseconds(kBodyGraceMs),
                                        t.id);
        if (!engine.m_graceTimer->isActive())
            engine.m_graceTimer->start(kBodyGraceMs);
        return true;
    }
    return false;
}

std::size_t CurlEngine::WriteCallback(char* data, std::size_t size, std::size_t n, void* p) {
    auto& t = *static_cast<Transfer*>(p);
    const std::size_t length = size * n;
    if (!t.readBody)
        return length; // a short body read only to keep the connection
    if (t.progress && !t.receiving) {
        t.receiving = true;
        t.progress(Stage::Receiving);
    }
    std::string& body = t.answer.body;
    const std::size_t room = t.request.maxBytes - std::min(t.request.maxBytes, body.size());
    const std::size_t before = body.size();
    body.append(data, std::min(room, length));
    if (length > room) {
        t.answer.truncated = true;
        return 0; // the limit is reached: the transfer ends with what it has
    }
    if (t.request.stopAtHeadEnd &&
        FindHeadEnd(body, before > 16 ? before - 16 : 0) != std::string_view::npos)
        return 0;
    return length;
}

int CurlEngine::SocketCallback(CURL*, curl_socket_t socket, int what, void* self, void* known) {
    auto& engine = *static_cast<CurlEngine*>(self);
    if (engine.m_epoll < 0)
        return -1;
    if (what == CURL_POLL_REMOVE) {
        // The socket may be closed already, which took it out of the set.
        epoll_ctl(engine.m_epoll, EPOLL_CTL_DEL, socket, nullptr);
        return 0;
    }
    epoll_event event{};
    event.events = (what == CURL_POLL_IN || what == CURL_POLL_INOUT ? EPOLLIN : 0u) |
                   (what == CURL_POLL_OUT || what == CURL_POLL_INOUT ? EPOLLOUT : 0u);
    event.data.fd = socket;
    // curl keeps a mark with each socket until it is removed: a socket without one is new.
    if (known)
        return epoll_ctl(engine.m_epoll, EPOLL_CTL_MOD, socket, &event) == 0 ? 0 : -1;
    if (epoll_ctl(engine.m_epoll, EPOLL_CTL_ADD, socket, &event) != 0)
        return -1;
    curl_multi_assign(engine.m_multi, socket, &engine);
    return 0;
}

int CurlEngine::TimerCallback(CURLM*, long timeoutMs, void* self) {
    auto& engine = *static_cast<CurlEngine*>(self);
    engine.m_curlDue = timeoutMs == 0 && engine.m_handling > 0;
    if (timeoutMs < 0 || engine.m_curlDue)
        engine.m_curlTimer->stop();
    else // curl rounds the wait down: a timer a millisecond early would only be set again
        engine.m_curlTimer->start(static_cast<int>(timeoutMs) + 1);
    return 0;
}

CurlEngine::Clock::duration CurlEngine::GatherSpan() const {
    // With few transfers the process wakes seldom anyway, and every answer held back leaves a
    // connection idle: a check of eight connections keeps them busy.
    if (m_running < kGatherFromRunning)
        return Clock::duration::zero();
    const double ms = std::min(kMaxGatherMs, kGatherShare * m_typicalMs);
    // Gathering pays only when several events fall within a span: otherwise the deferred look
    // is one more wake, not one fewer.
    if (m_eventsPerSecond * ms < 1000)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(ms));
}

CurlEngine::Clock::time_point CurlEngine::SocketsCanWaitUntil(Clock::time_point now) const {
    // Near the end of a large check the hosts left are often each at their rate: an answer read
    // before the rate's next turn frees a connection that nothing can use until then. Reading
    // the answers at the turn, when the next request can go out at once, makes one wake of two.
    // Only with few transfers (under load the gathering span does this), while every host with
    // a request running or waiting is at its rate or pausing, and no transfer's time-out falls
    // near the turn (it would end as a time-out with its answer unread).
    const std::size_t window = RateWindow();
    if (window == 0 || m_running == 0 || m_running >= kGatherFromRunning ||
        m_running + m_queuedCount >= static_cast<std::size_t>(m_limits.maxConnections))
        return now;
    const Clock::duration span = RateSpan();
    Clock::time_point turn = Clock::time_point::max();
    Clock::time_point firstTimeout = Clock::time_point::max();
    for (const auto& [id, t] : m_transfers) {
        if (t->finished)
            continue;
        // An answer that has begun is read as it comes: a body left unread would come in one
        // socket buffer per turn, and a probe's short body keeps the connection for reuse.
        if (t->headBytes > 0 || t->inGrace)
            return now;
        const auto h = m_hosts.find(t->host);
        if (h == m_hosts.end())
            return now;
        const Host& host = h->second;
        Clock::time_point free; // when the host may start its next request
        if (host.backoffUntil > now)
            free = host.backoffUntil;
        else if (host.unsent == 0 && host.starts.size() >= window)
            free = host.starts[host.starts.size() - window] + span;
        else if (const std::size_t able =
                     std::min(static_cast<std::size_t>(m_limits.perHost),
                              host.queue.size() + static_cast<std::size_t>(host.active));
                 (free = PairTurn(host, able, now)) == now)
            return now;
        if (free <= now + kTurnSlack)
            return now;
        turn = std::min(turn, free);
        if (t->started)
            firstTimeout = std::min(firstTimeout,
                                    t->startedAt + std::chrono::milliseconds(t->request.timeoutMs));
    }
    // A pause longer than the rate's window is not waited for: the answers are not held longer.
    if (turn > now + span || firstTimeout < turn + kTimeoutMargin)
        return now;
    return turn;
}

CurlEngine::Clock::time_point CurlEngine::PairTurn(const Host& host, std::size_t able,
                                                   Clock::time_point now) const {
    // A host held to its rate sends a request each time a place in its window comes free, and
    // the process wakes for each: near the end of a large check, for one host, once for every
    // request. Waiting a little for the next place, so that two go out together, halves that;
    // the pair's places then come free together too. Only with few transfers, as the wait for
    // a turn (SocketsCanWaitUntil), and only while its connections could take both.
    const std::size_t window = RateWindow();
    if (window < 2 || able < 2 || host.unsent != 0 || m_running >= kGatherFromRunning)
        return now;
    const Clock::duration span = RateSpan();
    const auto first = std::find_if(host.starts.begin(), host.starts.end(),
                                    [&](Clock::time_point s) { return s + span > now; });
    if (static_cast<std::size_t>(host.starts.end() - first) + 1 != window)
        return now;
    // At most a place's share of the window: four places a second pair up within 0.26 s.
    const Clock::time_point next = *first + span;
    return next - now <= span / static_cast<long>(window) ? next : now;
}

void CurlEngine::OnSockets() {
    // An event that comes within a span of the last look waits for the span's end, with those
    // that follow it; the first after a quiet span is handled at once.
    const Clock::time_point now = Clock::now();
    const Clock::duration span = GatherSpan();
    if (now < m_lastSockets + span) {
        ++m_gatheredLooks;
        m_epollNotifier->setEnabled(false);
        m_gatherTimer->start(static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(m_lastSockets + span - now).count()));
        return;
    }
    LookAtSockets();
}

bool CurlEngine::WatchSockets() {
    if (!m_epollNotifier || (m_gatherTimer->isActive() && !m_waitingForTurn))
        return false; // a gathering span runs
    const Clock::time_point now = Clock::now();
    const Clock::time_point turn = SocketsCanWaitUntil(now);
    if (turn > now) {
        if (!m_waitingForTurn)
            m_socketsWaitingSince = now;
        m_waitingForTurn = true;
        m_epollNotifier->setEnabled(false);
        m_gatherTimer->start(
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(turn - now).count()));
        return false;
    }
    if (!m_waitingForTurn)
        return false;
    // The wait ends before its turn (a request went out, say): what came meanwhile is read now.
    EndWaitForTurn();
    return true;
}

void CurlEngine::EndWaitForTurn() {
    m_waitingForTurn = false;
    m_gatherTimer->stop();
    m_epollNotifier->setEnabled(true);
    LookAtSockets();
}

void CurlEngine::LookAtSockets() {
    const Clock::time_point now = Clock::now();
    m_lastSockets = now;
    Handling scope(*this);
    // An answer that waited for its host's turn is timed to when it was there to read: a
    // redirect's next hop has the rest of the time-out, not less.
    m_answersReadyAt = std::exchange(m_socketsWaitingSince, Clock::time_point{});
    // Level-triggered: what is left over wakes the loop again at once.
    std::array<epoll_event, 128> events;
    const int n = epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), 0);
    if (now - m_rateSince >= std::chrono::seconds(1)) {
        m_eventsPerSecond = now - m_rateSince < std::chrono::seconds(2) ? m_eventsCounted : 0;
        m_eventsCounted = 0;
        m_rateSince = now;
    }
    m_eventsCounted += std::max(0, n);
    int running = 0;
    for (int i = 0; i < n; ++i) {
        const std::uint32_t e = events[static_cast<std::size_t>(i)].events;
        const int action = ((e & (EPOLLIN | EPOLLHUP)) ? CURL_CSELECT_IN : 0) |
                           ((e & EPOLLOUT) ? CURL_CSELECT_OUT : 0) |
                           ((e & EPOLLERR) ? CURL_CSELECT_ERR : 0);
        curl_multi_socket_action(m_multi, events[static_cast<std::size_t>(i)].data.fd, action,
                                 &running);
    }
    ReadDone();
    m_answersReadyAt = Clock::time_point{};
}

void CurlEngine::OnGrace() {
    // A probe's short body did not come in time: its answer stands as it is.
    Handling scope(*this);
    const Clock::time_point now = Clock::now();
    std::vector<std::uint64_t> due;
    // Waits that ended early (the body came, or the request was dropped) are passed over, so
    // that the timer is set only for one still running.
    while (!m_graceEnds.empty()) {
        const auto [end, id] = m_graceEnds.front();
        const auto it = m_transfers.find(id);
        const bool waiting = it != m_transfers.end() && it->second->inGrace;
        if (waiting && end > now)
            break;
        m_graceEnds.pop_front();
        if (!waiting)
            continue;
        Finish(*it->second, CURLE_OK);
        due.push_back(id);
    }
    if (!m_graceEnds.empty())
        m_graceTimer->start(static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(m_graceEnds.front().first - now).count()));
    for (std::uint64_t id : due)
        Deliver(id);
    if (!due.empty())
        SchedulePump();
}

void CurlEngine::OnTimeout() {
    Handling scope(*this);
    int running = 0;
    curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
    ReadDone();
}

void CurlEngine::ReadDone() {
    std::vector<std::uint64_t> done;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Transfer* t = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
        const CURLcode code = msg->data.result;
        if (!t || t->finished)
            continue;
        // `msg` is not valid once its handle is removed: everything needed is taken first.
        Finish(*t, code);
        done.push_back(t->id);
    }
    // Results go out once curl is out of the way: they may start or cancel other requests.
    for (std::uint64_t id : done)
        Deliver(id);
    if (!done.empty())
        SchedulePump();
}

namespace {

int InternetErrorOfCurl(CURL* easy, CURLcode code) {
    long connectCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode >= 400 && connectCode < 600)
        return static_cast<int>(connectCode); // the proxy refused the tunnel (407, ...)
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return kErrTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return kErrNameNotResolved;
    case CURLE_COULDNT_CONNECT: {
        long osError = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
        // Refused, or no answer to the connection: the server is not there. A connection the
        // system would not even try (a broadcast address, no route) is another failure.
        if (osError == 0 || osError == ECONNREFUSED || osError == ETIMEDOUT ||
            osError == ECONNRESET || osError == EHOSTUNREACH)
            return kErrCannotConnect;
        return kErrInternal;
    }
    case CURLE_PROXY:
        return kErrCannotConnect;
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verify = 0;
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
        // OpenSSL's numbers: 9 not yet valid, 10 expired; 0 with a failed check is a name that
        // does not match (curl checks the name itself); anything else is an untrusted issuer.
        if (verify == 9 || verify == 10)
            return kErrCertDateInvalid;
        if (verify == 0 || verify == 62)
            return kErrCertNameInvalid;
        return kErrCertAuthorityInvalid;
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
        return kErrSecureChannel;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL: // an answer of an HTTP version not asked for
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_FILESIZE_EXCEEDED:
        return kErrInvalidResponse;
    case CURLE_URL_MALFORMAT:
        return kErrBadUrl;
    case CURLE_ABORTED_BY_CALLBACK:
        return kErrOperationCancelled;
    default:
        return kErrInternal;
    }
}

bool IsSecureFailureCode(int error) {
    return error == kErrCertAuthorityInvalid || error == kErrCertDateInvalid ||
           error == kErrCertNameInvalid || error == kErrSecureChannel;
}

} // namespace

void CurlEngine::MarkSent(Transfer& t) {
    if (t.sent || !t.hostState)
        return;
    t.sent = true;
    --t.hostState->unsent;
    // Only while a rate applies: otherwise nothing ever takes the times out again.
    if (m_limits.hostRate > 0)
        t.hostState->starts.push_back(Clock::now());
}

void CurlEngine::LeaveGrace(Transfer& t) {
    if (!t.inGrace)
        return;
    t.inGrace = false;
    // Nearly every short body comes with its head: without a wait left the timer is not needed.
    if (--m_graceWaiting == 0) {
        m_graceEnds.clear();
        m_graceTimer->stop();
    }
}

void CurlEngine::Finish(Transfer& t, int code) {
    LeaveGrace(t);
    if (!t.sent && t.hostState) {
        t.sent = true; // it never went out: the server saw nothing
        --t.hostState->unsent;
    }
    t.finished = true;
    HttpAnswer& a = t.answer;
    const Clock::time_point end = m_answersReadyAt != Clock::time_point{}
                                      ? std::max(m_answersReadyAt, t.startedAt)
                                      : Clock::now();
    a.elapsedMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - t.startedAt).count());
    if (t.easy) {
        if (!t.answered && code != CURLE_OK && code != CURLE_WRITE_ERROR) {
            a.error = InternetErrorOfCurl(t.easy, static_cast<CURLcode>(code));
            if (IsSecureFailureCode(a.error))
                a.errorText = t.errorBuffer;
            a.status = 0;
        } else if (!t.answered) {
            a.error = kErrInvalidResponse; // it ended before its head did
            a.status = 0;
        }
        if (t.answered) // a request's usual time, for the gathering span
            m_typicalMs =
                m_typicalMs == 0 ? a.elapsedMs : m_typicalMs + (a.elapsedMs - m_typicalMs) / 32;
        curl_multi_remove_handle(m_multi, t.easy);
        ReturnHandle(t.easy);
        t.easy = nullptr;
    } else if (!t.answered) {
        a.error = kErrInternal;
    }
    if (t.started) {
        Host& host = *t.hostState;
        --host.active;
        --m_running;
        AfterAnswer(host, a);
    }
}

void CurlEngine::AfterAnswer(Host& host, const HttpAnswer& answer) {
    if (answer.error != 0)
        return;
    if (answer.status != 429 && answer.status != 503) {
        host.backoffMs = 0;
        return;
    }
    int pauseMs = 0;
    const int asked = RetryAfterSeconds(answer.retryAfter);
    if (asked >= 0 && asked <= kMaxRetryAfterSeconds) {
        pauseMs = asked * 1000;
    } else {
        host.backoffMs =
            host.backoffMs == 0 ? kFirstBackoffMs : std::min(kLastBackoffMs, host.backoffMs * 2);
        pauseMs = host.backoffMs;
    }
    host.backoffUntil =
        std::max(host.backoffUntil, Clock::now() + std::chrono::milliseconds(pauseMs));
    // Nothing else would tell the callers when the pause is over.
    QTimer::singleShot(pauseMs + 1, Qt::PreciseTimer, this, [this] {
        emit hostFreed();
        SchedulePump();
    });
}

void CurlEngine::Deliver(std::uint64_t id) {
    const auto it = m_transfers.find(id);
    if (it == m_transfers.end())
        return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    m_transfers.erase(it);
    if (t->done)
        t->done(std::move(t->answer));
}

} // namespace brindle
