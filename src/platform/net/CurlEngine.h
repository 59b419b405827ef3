// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CurlEngine: every HTTP request of the program goes through one libcurl multi handle driven
// from the Qt event loop of its thread, so checks, fetches and archive look-ups share
// connections, the DNS cache and the politeness towards each host. curl's sockets are watched by
// one epoll set, itself one socket notifier of the loop: the loop polls one descriptor however
// many transfers run, and one wake serves every socket that is ready.
//
// A request is one hop: redirects are not followed here (the callers count them and note where
// the permanent ones led). Requests wait in a queue per host; a host gets at most `perHost`
// transfers at once, at most `hostRate` new ones in any second (a second and 5 %, counted when
// each request goes out), and after a 429 or 503 answer nothing until its Retry-After (up to
// 60 s) or else a pause that doubles from 0.5 s to 30 s; other hosts go on meanwhile.
// `maxConnections` bounds all transfers together.

#include <QObject>

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace brindle {

// The agent text every request carries.
inline constexpr const char* kUserAgent = "Brindle";

struct HttpRequest {
    enum class Read {
        Head, // the status and headers; a short body only while it is already arriving
        Body  // the body too, up to maxBytes
    };
    std::string url;
    Read read = Read::Head;
    std::size_t maxBytes = 0;
    // Ask for compressed answers and undo them (maxBytes counts what they expand to); otherwise
    // ask for the identity coding and keep what comes as it is.
    bool decode = false;
    // Read the body of text types only (text/*, XML, JSON): other answers end at their headers.
    bool textOnly = false;
    // Stop reading once the page's <head> is complete (the fetch of a page's description).
    bool stopAtHeadEnd = false;
    int timeoutMs = 30'000;
    // Through this proxy ("scheme://host:port"; "" = direct), with these credentials.
    std::string proxy;
    std::string proxyUser;
    std::string proxyPassword;
};

struct HttpAnswer {
    int error = 0;         // an internet error number (LinkResult.h) when no answer came
    std::string errorText; // what the failure was, for a failed secure connection
    int status = 0;
    std::string reason;
    std::string location;
    std::string lastModified;
    std::string retryAfter;
    std::string contentType; // the header as sent
    std::string body;
    bool truncated = false; // the body was longer than maxBytes
    int elapsedMs = 0;      // from the start of the transfer (not the wait before it)
};

// Seconds a Retry-After value asks for (a number or an HTTP date); -1 when unusable.
int RetryAfterSeconds(const std::string& value);
// A Last-Modified (or other HTTP date) value in seconds since 1970 (UTC); -1 when unusable.
long long HttpDateSeconds(const std::string& value);

struct HostLimits {
    int maxConnections = 128;
    int perHost = 2;
    double hostRate = 4.0; // new requests a second to one host
};

class CurlEngine : public QObject {
    Q_OBJECT
  public:
    enum class Stage { Connecting, RequestSent, ResponseReceived, Receiving };
    using Done = std::function<void(HttpAnswer answer)>;
    using Progress = std::function<void(Stage stage)>;

    // The engine of the calling thread, made on first use; it lives while someone holds it.
    static std::shared_ptr<CurlEngine> Instance();

    CurlEngine();
    ~CurlEngine() override;

    void SetLimits(const HostLimits& limits);
    const HostLimits& Limits() const { return m_limits; }
    // Certificates to trust instead of the system's (tests with their own authority).
    void SetCaFile(const std::string& path) { m_caFile = path; }

    // Queues a request to start no sooner than `delayMs` from now. `done` runs exactly once,
    // later, from the event loop, unless the request is cancelled first.
    std::uint64_t Submit(HttpRequest request, int delayMs, Done done, Progress progress = {});
    void Cancel(std::uint64_t id);

    // The host a URL's requests are counted against ("" for a URL without one).
    static std::string HostKey(const std::string& url);
    // Whether a new request to this host would only wait: it has all the requests it may
    // have running or due (a request whose delay has yet to pass holds no place: the host's
    // connections are used meanwhile), or it is backing off.
    bool HostBusy(const std::string& hostKey) const;
    // How long until a request to this host would go out at once (Prober::HostReadyIn): zero
    // when it is not busy and has not had all the requests its rate allows within the last rate
    // window.
    std::chrono::milliseconds HostReadyIn(const std::string& hostKey) const;
    bool HostReady(const std::string& hostKey) const {
        return HostReadyIn(hostKey) == std::chrono::milliseconds::zero();
    }

  signals:
    // A host's back-off has ended: requests set aside for it can be submitted again.
    void hostFreed();

  public:
    // Counts for tests and benchmarks.
    std::size_t Running() const { return m_running; }
    std::size_t Queued() const { return m_queuedCount; }
    std::size_t GatheredLooks() const { return m_gatheredLooks; } // looks put off to gather

  private:
    using Clock = std::chrono::steady_clock;
    struct Transfer;
    struct Host {
        std::vector<std::uint64_t> queue; // waiting requests, in order
        int active = 0;
        // When requests went out, within the last rate window, oldest first. A server counts a
        // request when it arrives, so the time is taken when curl sends it, not when it is
        // handed over: under load new connections bunch up before their requests leave.
        std::deque<Clock::time_point> starts;
        int unsent = 0; // handed to curl, not yet sent: counted as going out now
        Clock::time_point backoffUntil{};
        int backoffMs = 0; // the last doubling pause; 0 = none
    };

    // Marks the engine busy in a handler of the event loop; the last to end runs what is left.
    struct Handling {
        explicit Handling(CurlEngine& e) : engine(e) { ++engine.m_handling; }
        ~Handling();
        Handling(const Handling&) = delete;
        Handling& operator=(const Handling&) = delete;
        CurlEngine& engine;
    };
    int DueWaiting(const Host& host, Clock::time_point now) const;
    // At most RateWindow() requests to one host go out in any RateSpan() (0: no rate).
    std::size_t RateWindow() const;
    Clock::duration RateSpan() const;
    void SchedulePump();
    void Pump();
    bool StartTransfer(Transfer& t, bool keep);
    void Finish(Transfer& t, int curlCode);
    void LeaveGrace(Transfer& t);
    void MarkSent(Transfer& t);
    void Deliver(std::uint64_t id);
    void ReadDone();
    void OnSockets();
    void LookAtSockets();
    // Stops watching the sockets until the hosts' next turn where that loses nothing; true when
    // it ended such a wait and looked at them.
    bool WatchSockets();
    // Watches the sockets again and reads what came while they were not.
    void EndWaitForTurn();
    // Until when the socket events may wait unread: `now` when they may not.
    Clock::time_point SocketsCanWaitUntil(Clock::time_point now) const;
    // When a host with one place left in its rate window sends its next request: `now`, or,
    // with `able` (two or more) requests ready to go and the next place near, that place's
    // turn, so that two go out together.
    Clock::time_point PairTurn(const Host& host, std::size_t able, Clock::time_point now) const;
    Clock::duration GatherSpan() const;
    void OnTimeout();
    void OnGrace();
    void AfterAnswer(Host& host, const HttpAnswer& answer);
    // The connections curl keeps: every running one and as many idle.
    std::size_t KeptConnections() const {
        return static_cast<std::size_t>(std::max(32, 2 * m_limits.maxConnections));
    }
    CURL* TakeHandle();
    void ReturnHandle(CURL* handle);

    static int SocketCallback(CURL* easy, curl_socket_t socket, int what, void* self, void*);
    static int TimerCallback(CURLM* multi, long timeoutMs, void* self);
    static std::size_t HeaderCallback(char* data, std::size_t size, std::size_t n, void* t);
    static std::size_t WriteCallback(char* data, std::size_t size, std::size_t n, void* t);
    static int PrereqCallback(void* t, char*, char*, int, int);
    // Whether the transfer has its whole answer head and needs no more of the answer.
    static bool DecideAfterHead(Transfer& t);

    CURLM* m_multi = nullptr;
    HostLimits m_limits;
    std::string m_caFile;
    std::uint64_t m_nextId = 1;
    std::unordered_map<std::uint64_t, std::unique_ptr<Transfer>> m_transfers;
    // Transfers reading a short body after their answer, and when they stop waiting for it
    // (all waits are equal: oldest first).
    std::deque<std::pair<Clock::time_point, std::uint64_t>> m_graceEnds;
    QTimer* m_graceTimer = nullptr;
    std::size_t m_graceWaiting = 0; // transfers still in their wait
    std::unordered_map<std::string, Host> m_hosts;
    std::vector<std::string> m_waitingHosts; // hosts with a queue, in the order they got one
    int m_epoll = -1;
    QSocketNotifier* m_epollNotifier = nullptr;
    QTimer* m_curlTimer = nullptr;
    QTimer* m_pumpTimer = nullptr; // the next queued request's time has come
    bool m_pumpQueued = false;     // a pass is posted to the loop
    bool m_pumpWanted = false;     // a pass is due
    bool m_curlDue = false;        // curl asked to be driven at once
    int m_handling = 0;
    // Gathering socket events (OnSockets): when they were last looked at, how many came in the
    // last second, and how long an answered request usually took.
    QTimer* m_gatherTimer = nullptr;
    Clock::time_point m_lastSockets{};
    bool m_waitingForTurn = false;             // the sockets are not watched until a turn
    Clock::time_point m_socketsWaitingSince{}; // answers may have waited unread since then
    Clock::time_point m_answersReadyAt{};      // while a look reads answers that waited
    Clock::time_point m_rateSince{};
    std::size_t m_gatheredLooks = 0;
    int m_eventsCounted = 0;
    int m_eventsPerSecond = 0;
    double m_typicalMs = 0;
    std::size_t m_running = 0;
    std::size_t m_queuedCount = 0;
    std::vector<CURL*> m_spareHandles;
    std::size_t m_rotate = 0; // where the next pass over the waiting hosts begins
};

} // namespace brindle
