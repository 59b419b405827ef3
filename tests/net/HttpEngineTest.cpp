// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP engine's own duties against servers on loopback addresses: politeness per host as a
// server's log shows it, HTTP/2, a SOCKS5 proxy, whole-page fetches, the web archive look-up and
// the check options that use them.
#include "TestServer.h"

#include "platform/net/ArchiveLookup.h"
#include "platform/net/NetProber.h"
#include "platform/net/PageFetchers.h"
#include "status/LinkEngine.h"
#include "status/LinkResult.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <zlib.h>

using namespace brindle;
using nettest::HttpServer;
using Clock = std::chrono::steady_clock;

namespace {

// What a server saw: each request's host, path, start and end.
struct Visit {
    std::string host;
    std::string path;
    Clock::time_point start;
    Clock::time_point end;
};

class Log {
  public:
    void Add(Visit v) {
        std::lock_guard g(m_lock);
        m_visits.push_back(std::move(v));
    }
    std::vector<Visit> Visits() {
        std::lock_guard g(m_lock);
        return m_visits;
    }

  private:
    std::mutex m_lock;
    std::vector<Visit> m_visits;
};

// A server on `address` whose /wait/MS answers 200 after MS milliseconds, /paced/N with N
// pieces of body 0.1 s apart, /429 and /503 with that status (Retry-After: 1 on /503), logging
// every /wait and /429|/503 request.
std::unique_ptr<HttpServer> LoggingServer(Log& log, const std::string& address,
                                          std::size_t threads = 0) {
    return std::make_unique<HttpServer>(
        [&log, address, threads](httplib::Server& s, const std::atomic<bool>&) {
            if (threads > 0)
                s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
            s.Get(R"(/wait/(\d+).*)", [&log, address](const httplib::Request& req,
                                                      httplib::Response& res) {
                const auto start = Clock::now();
                std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(req.matches[1])));
                res.set_content("ok", "text/plain");
                log.Add({address, req.path, start, Clock::now()});
            });
            s.Get(R"(/paced/(\d+).*)", [](const httplib::Request& req, httplib::Response& res) {
                res.set_chunked_content_provider(
                    "text/plain", [chunks = std::stoi(req.matches[1]),
                                   sent = 0](size_t, httplib::DataSink& sink) mutable {
                        if (sent == chunks) {
                            sink.done();
                            return true;
                        }
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        ++sent;
                        const std::string piece(1024, 'x');
                        return sink.write(piece.data(), piece.size());
                    });
            });
            s.Get(R"(/(429|503))",
                  [&log, address](const httplib::Request& req, httplib::Response& res) {
                      res.status = std::stoi(req.matches[1]);
                      if (res.status == 503)
                          res.set_header("Retry-After", "1");
                      res.set_content("busy", "text/plain");
                      log.Add({address, req.path, Clock::now(), Clock::now()});
                  });
        },
        address);
}

// Sets the engine's limits for one test and puts the suite's back after it.
class LimitsScope {
  public:
    explicit LimitsScope(const HostLimits& limits)
        : m_engine(CurlEngine::Instance()), m_saved(m_engine->Limits()) {
        m_engine->SetLimits(limits);
    }
    ~LimitsScope() { m_engine->SetLimits(m_saved); }

  private:
    std::shared_ptr<CurlEngine> m_engine;
    HostLimits m_saved;
};

void Spin(QEventLoop& loop, int ms) {
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long long Ms(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

TEST(HttpEngineTest, ACheckKeepsToTheLimitsOfEachHostWhileOtherHostsGoOn) {
    Log log;
    auto a = LoggingServer(log, "127.0.0.1");
    auto b = LoggingServer(log, "127.0.0.2");
    HostLimits limits;
    limits.perHost = 2;
    limits.hostRate = 8;
    LimitsScope scope(limits);
    CPreferences prefs;
    prefs.m_nConnectMax = 8;
    CBrindleDoc doc(prefs);
    std::vector<std::uint32_t> all;
    // Host a first in the queue, many of it: b's entries must not wait behind them.
    for (int i = 0; i < 24; ++i) {
        const std::string name = "n" + std::to_string(i);
        const std::string url = (i < 16 ? a : b)->Url("/wait/300/" + std::to_string(i));
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.statusChecking = 1;
        ASSERT_TRUE(doc.AddBookmark(f));
        all.push_back(static_cast<std::uint32_t>(i));
    }
    NetSession session;
    NetProber prober(session, NetProber::Mode::Probe);
    QEventLoop loop;
    LinkEngine* running = nullptr;
    LinkEngine::Callbacks cb;
    cb.openSession = [&] { return session.Open({}); };
    cb.runChanged = [&] {
        if (running && !running->Running() && running->Idle())
            loop.quit();
    };
    LinkEngine engine(LinkJob::Check, doc, prober, cb);
    running = &engine;
    engine.Toggle(all);
    Spin(loop, 20'000);
    EXPECT_FALSE(engine.Running());
    const std::vector<Visit> visits = log.Visits();
    ASSERT_EQ(visits.size(), 24u);
    std::map<std::string, std::vector<Visit>> byHost;
    for (const Visit& v : visits)
        byHost[v.host].push_back(v);
    for (auto& [host, list] : byHost) {
        std::sort(list.begin(), list.end(),
                  [](const Visit& x, const Visit& y) { return x.start < y.start; });
        int most = 0;
        for (const Visit& v : list) {
            int inside = 0;
            for (const Visit& w : list)
                inside += w.start <= v.start && w.end > v.start;
            most = std::max(most, inside);
        }
        EXPECT_EQ(most, 2) << host << ": two at once, never more";
        // At most 8 starts in any second (less the server's own timing).
        for (std::size_t k = 8; k < list.size(); ++k)
            EXPECT_GE(Ms(list[k].start - list[k - 8].start), 950) << host << " at " << k;
    }
    // Host b's first request came long before host a's queue was through.
    EXPECT_LT(byHost["127.0.0.2"].front().start, byHost["127.0.0.1"].back().start);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(doc.Bookmarks()[static_cast<std::uint32_t>(i)].m_strStatus, "No change");
}

// The key a request's host is counted under: neither credentials, port, case, nor an '@' in
// the path part it.
TEST(HttpEngineTest, HostKeysOfUrls) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://Example.COM:8080/a", "example.com"},
        {"https://user:p@ss@host.test/x@y", "host.test"},
        {"http://host.test?q=a@b", "host.test"},
        {"http://host.test#a@b", "host.test"},
        {"http://[::1]:80/", "[::1]"},
        {"http://h", "h"},
        {"no scheme", ""}};
    for (const auto& [url, key] : cases)
        EXPECT_EQ(CurlEngine::HostKey(url), key) << url;
}

TEST(HttpEngineTest, AHostAtItsRateIsNotReadyThoughNotBusy) {
    Log log;
    auto server = LoggingServer(log, "127.0.0.3");
    CurlEngine engine;
    engine.SetLimits({8, 4, 2});
    const std::string host = CurlEngine::HostKey(server->Url("/"));
    EXPECT_TRUE(engine.HostReady(host)) << "a host never asked";
    QEventLoop loop;
    int open = 0;
    for (int i = 0; i < 2; ++i) {
        HttpRequest request;
        request.url = server->Url("/wait/400/" + std::to_string(i));
        ++open;
        engine.Submit(std::move(request), 0, [&](HttpAnswer) {
            if (--open == 0)
                loop.quit();
        });
    }
    QEventLoop sent;
    Spin(sent, 200);
    // Both went out: the host has connections to spare, but not its rate.
    EXPECT_EQ(engine.Running(), 2u);
    EXPECT_FALSE(engine.HostBusy(host));
    EXPECT_FALSE(engine.HostReady(host));
    const auto wait = engine.HostReadyIn(host).count();
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, 1050) << "at most the rate window (1.05 s), not a guess";
    Spin(loop, 5000);
    ASSERT_EQ(open, 0);
    QEventLoop later;
    Spin(later, 1100);
    EXPECT_TRUE(engine.HostReady(host));
}

TEST(HttpEngineTest, AnswersOfAHostAtItsRateAreReadAtItsTurnAndTimedToWhenTheyCame) {
    Log log;
    auto server = LoggingServer(log, "127.0.0.6");
    CurlEngine engine;
    engine.SetLimits({8, 2, 2});
    QEventLoop loop;
    struct Delivered {
        Clock::time_point at;
        HttpAnswer answer;
    };
    std::vector<Delivered> delivered;
    const Clock::time_point begin = Clock::now();
    for (int i = 0; i < 3; ++i) {
        HttpRequest request;
        request.url = server->Url("/wait/100/" + std::to_string(i));
        engine.Submit(std::move(request), 0, [&](HttpAnswer answer) {
            delivered.push_back({Clock::now(), std::move(answer)});
            if (delivered.size() == 3)
                loop.quit();
        });
    }
    Spin(loop, 5000);
    ASSERT_EQ(delivered.size(), 3u);
    // The third could go out only a rate window after the first two: their answers, there
    // after 0.1 s, were read at that turn (one wake for both), yet are not counted as slower
    // than they were (a redirect's next hop has the rest of the time-out).
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(delivered[i].answer.status, 200);
        EXPECT_GE(Ms(delivered[i].at - begin), 900) << i;
        EXPECT_LT(delivered[i].answer.elapsedMs, 500) << i;
    }
    EXPECT_EQ(delivered[2].answer.status, 200);
    const std::vector<Visit> visits = log.Visits();
    ASSERT_EQ(visits.size(), 3u);
    EXPECT_GE(Ms(visits[2].start - visits[0].start), 950);
}

TEST(HttpEngineTest, AHostWithOnePlaceLeftSendsTwoTogetherAtTheNextPlace) {
    Log log;
    auto paired = LoggingServer(log, "127.0.0.8");
    auto single = LoggingServer(log, "127.0.0.9");
    CurlEngine engine;
    engine.SetLimits({8, 2, 2}); // two a second: a window of 1.05 s with two places
    QEventLoop loop;
    int open = 5;
    const auto submit = [&](const HttpServer& server, const std::string& name) {
        HttpRequest request;
        request.url = server.Url("/wait/0/" + name);
        engine.Submit(std::move(request), 0, [&](HttpAnswer) {
            if (--open == 0)
                loop.quit();
        });
    };
    submit(*paired, "a");
    submit(*single, "a");
    // 0.6 s on, each host has one place left until 1.05 s: the host with two requests waits
    // for the second place, the host with one sends it at once.
    QTimer::singleShot(600, &loop, [&] {
        submit(*paired, "b");
        submit(*paired, "c");
        submit(*single, "b");
    });
    Spin(loop, 5000);
    ASSERT_EQ(open, 0);
    std::map<std::string, Clock::time_point> started;
    for (const Visit& v : log.Visits())
        started[v.host + v.path] = v.start;
    ASSERT_EQ(started.size(), 5u);
    const auto at = [&](const std::string& key) {
        return Ms(started[key] - started["127.0.0.8/wait/0/a"]);
    };
    EXPECT_GE(at("127.0.0.8/wait/0/b"), 1000);
    EXPECT_LE(std::abs(at("127.0.0.8/wait/0/b") - at("127.0.0.8/wait/0/c")), 50);
    EXPECT_LT(Ms(started["127.0.0.9/wait/0/b"] - started["127.0.0.9/wait/0/a"]), 900);
}

TEST(HttpEngineTest, ABodyFromAHostAtItsRateIsReadAsItComes) {
    Log log;
    auto server = LoggingServer(log, "127.0.0.7");
    CurlEngine engine;
    engine.SetLimits({8, 2, 2});
    QEventLoop loop;
    std::map<std::string, Clock::time_point> delivered;
    const Clock::time_point begin = Clock::now();
    // A body that takes 1.2 s on one connection; quick answers keep the host at its rate on
    // the other, so that from about 1.05 s on the host waits for its next turn at 2.1 s.
    for (const std::string path : {"/paced/12", "/wait/0/1", "/wait/0/2", "/wait/0/3"}) {
        HttpRequest request;
        request.url = server->Url(path);
        request.read = HttpRequest::Read::Body;
        request.maxBytes = 1 << 20;
        engine.Submit(std::move(request), 0, [&, path](HttpAnswer answer) {
            EXPECT_EQ(answer.status, 200) << path;
            delivered[path] = Clock::now();
            if (delivered.size() == 4)
                loop.quit();
        });
    }
    Spin(loop, 10'000);
    ASSERT_EQ(delivered.size(), 4u);
    // The body was read as it came, not at the host's next turn.
    EXPECT_LT(Ms(delivered["/paced/12"] - begin), 1800);
}

TEST(HttpEngineTest, UnderLoadSocketEventsAreGatheredAndNoAnswerIsLost) {
    Log log;
    auto server = LoggingServer(log, "127.0.0.1", 64);
    CurlEngine engine;
    engine.SetLimits({64, 64, 0});
    constexpr int kRequests = 1200;
    int answered = 0;
    QEventLoop loop;
    for (int i = 0; i < kRequests; ++i) {
        HttpRequest request;
        request.url = server->Url("/wait/100/" + std::to_string(i));
        engine.Submit(std::move(request), 0, [&](HttpAnswer answer) {
            answered += answer.status == 200;
            if (engine.Running() == 0 && engine.Queued() == 0)
                loop.quit();
        });
    }
    Spin(loop, 30'000);
    EXPECT_EQ(answered, kRequests);
    // 64 answers every 0.1 s: the sockets are looked at together rather than one by one.
    EXPECT_GT(engine.GatheredLooks(), 0u);
}

TEST(HttpEngineTest, BusyAnswersBackTheirHostOffAlone) {
    Log log;
    auto a = LoggingServer(log, "127.0.0.4");
    auto b = LoggingServer(log, "127.0.0.5");
    HostLimits limits;
    limits.hostRate = 1000;
    LimitsScope scope(limits);
    const std::shared_ptr<CurlEngine> engine = CurlEngine::Instance();
    QEventLoop loop;
    int open = 0;
    const auto ask = [&](const std::string& url) {
        ++open;
        HttpRequest r;
        r.url = url;
        engine->Submit(r, 0, [&](HttpAnswer) {
            if (--open == 0)
                loop.quit();
        });
    };
    // No Retry-After: half a second, then a second after the next one (doubling); another host
    // goes on meanwhile.
    ask(a->Url("/429"));
    Spin(loop, 5000);
    ask(a->Url("/429"));
    ask(b->Url("/wait/0/b"));
    Spin(loop, 5000);
    ask(a->Url("/wait/0/a"));
    Spin(loop, 5000);
    // Retry-After: 1 is honoured as it says.
    ask(a->Url("/503"));
    Spin(loop, 5000);
    ask(a->Url("/wait/0/after"));
    Spin(loop, 5000);
    const std::vector<Visit> v = log.Visits();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[1].path, "/wait/0/b") << "the other host did not wait";
    EXPECT_LT(Ms(v[1].start - v[0].end), 300);
    EXPECT_EQ(v[2].path, "/429");
    EXPECT_GE(Ms(v[2].start - v[0].end), 450) << "the first pause";
    EXPECT_EQ(v[3].path, "/wait/0/a");
    EXPECT_GE(Ms(v[3].start - v[2].end), 950) << "doubled";
    EXPECT_EQ(v[5].path, "/wait/0/after");
    EXPECT_GE(Ms(v[5].start - v[4].end), 950) << "Retry-After";
    EXPECT_LT(Ms(v[5].start - v[4].end), 1800);
}

TEST(HttpEngineTest, Http2OverTlsWithATrustedCertificate) {
    nettest::SelfSignedServer certs; // only for its certificate and key
    if (!certs.Ready())
        GTEST_SKIP() << "openssl could not make a certificate";
    testutil::TempDirectory root;
    {
        std::ofstream page(root.File("page.html"));
        page << "<title>two</title>";
    }
    nettest::ServerProgram nghttpd(QStringLiteral("nghttpd"),
                                   {QStringLiteral("--address=127.0.0.1"), QStringLiteral("-d"),
                                    QString::fromStdString(root.Path()), QStringLiteral("%PORT%"),
                                    QString::fromStdString(certs.KeyFile()),
                                    QString::fromStdString(certs.CertFile())});
    if (!nghttpd.Ready())
        GTEST_SKIP() << "nghttpd (nghttp2-server) is not installed: HTTP/2 is not tested";
    const std::string url = "https://127.0.0.1:" + std::to_string(nghttpd.Port()) + "/page.html";
    const std::shared_ptr<CurlEngine> engine = CurlEngine::Instance();
    NetSession session;
    session.Open({});
    NetProber prober(session, NetProber::Mode::Fetch);
    QEventLoop loop;
    ProbeResult got;
    prober.SetCompletion([&](int, ProbeResult r) {
        got = std::move(r);
        loop.quit();
    });
    prober.Start(0, url, 0);
    Spin(loop, 10'000);
    EXPECT_EQ(got.result, kErrCertAuthorityInvalid) << "not trusted before it is told to";
    engine->SetCaFile(certs.CertFile());
    prober.Start(0, url, 0);
    Spin(loop, 10'000);
    engine->SetCaFile({});
    // nghttpd speaks nothing but HTTP/2: an answer at all means it was spoken.
    EXPECT_EQ(got.result, 200);
    EXPECT_EQ(got.page.title, "two");
}

TEST(HttpEngineTest, ThroughASocks5ProxyWithCredentials) {
    HttpServer origin([](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("ok", "text/plain");
        });
    });
    nettest::ServerProgram socks(QStringLiteral("microsocks"),
                                 {QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("-p"), QStringLiteral("%PORT%"),
                                  QStringLiteral("-u"), QStringLiteral("walter"),
                                  QStringLiteral("-P"), QStringLiteral("s3cret")});
    if (!socks.Ready())
        GTEST_SKIP() << "microsocks is not installed: the SOCKS5 path is not tested";
    const auto probe = [&](const std::string& user) {
        SessionSettings s;
        s.hasProxy = true;
        s.server = "socks5://127.0.0.1:" + std::to_string(socks.Port());
        s.user = user;
        s.password = "s3cret";
        NetSession session;
        session.Open(s);
        NetProber prober(session, NetProber::Mode::Probe);
        QEventLoop loop;
        int result = 0;
        prober.SetCompletion([&](int, ProbeResult r) {
            result = r.result;
            loop.quit();
        });
        prober.Start(0, origin.Url("/ok"), 0);
        Spin(loop, 10'000);
        return result;
    };
    EXPECT_EQ(probe("walter"), 200);
    EXPECT_EQ(probe("nobody"), kErrCannotConnect) << "the proxy refused: it was asked";
}

// Runs one fetch to its end.
PageBody FetchPage(PageFetcher& fetcher, const std::string& url, std::size_t maxBytes) {
    QEventLoop loop;
    PageBody got;
    got.result = -1;
    fetcher.SetDone([&](std::uint64_t id, PageBody page) {
        EXPECT_EQ(id, 42u);
        got = std::move(page);
        loop.quit();
    });
    fetcher.Fetch(42, url, maxBytes);
    EXPECT_EQ(got.result, -1) << "never inside Fetch";
    Spin(loop, 15'000);
    return got;
}

std::string Gzip(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(PageFetcherTest, DecodesCutsAtTheLimitAndReadsTextOnly) {
    const std::string text = "<html><body>" + std::string(300'000, 'w') + "</body></html>";
    HttpServer server([&text](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/zipped", [&text](const httplib::Request& req, httplib::Response& res) {
            const bool asked =
                req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
            if (asked)
                res.set_header("Content-Encoding", "gzip");
            res.set_content(asked ? Gzip(text) : text, "text/html; charset=ISO-8859-1");
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/zipped");
        });
        s.Get("/picture", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(5000, '\x89'), "image/png");
        });
    });
    const auto fetcher = MakePageFetcher({});
    const PageBody whole = FetchPage(*fetcher, server.Url("/zipped"), 1 << 20);
    EXPECT_EQ(whole.result, 200);
    EXPECT_EQ(whole.body, text) << "the coding undone";
    EXPECT_FALSE(whole.truncated);
    EXPECT_EQ(whole.contentType, "text/html");
    EXPECT_EQ(whole.charset, "ISO-8859-1");
    EXPECT_EQ(whole.finalUrl, "");
    const PageBody cut = FetchPage(*fetcher, server.Url("/moved"), 1000);
    EXPECT_EQ(cut.result, 200);
    EXPECT_EQ(cut.body, text.substr(0, 1000)) << "the limit counts decoded bytes";
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.finalUrl, server.Url("/zipped"));
    const PageBody picture = FetchPage(*fetcher, server.Url("/picture"), 1 << 20);
    EXPECT_EQ(picture.result, 200);
    EXPECT_EQ(picture.contentType, "image/png");
    EXPECT_EQ(picture.body, "") << "not a text type";
    EXPECT_EQ(FetchPage(*fetcher, "http://gone.invalid/", 100).result, kErrNameNotResolved);
}

TEST(PageFetcherTest, CancelAllSilencesEveryFetch) {
    HttpServer server([](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            res.set_content("x", "text/plain");
        });
    });
    const auto fetcher = MakePageFetcher({});
    int arrived = 0;
    fetcher->SetDone([&](std::uint64_t, PageBody) { ++arrived; });
    fetcher->Fetch(1, server.Url("/slow"), 100);
    fetcher->Fetch(2, "ftp://127.0.0.1/", 100);
    fetcher->CancelAll();
    QEventLoop loop;
    Spin(loop, 800);
    EXPECT_EQ(arrived, 0);
}

TEST(ArchiveLookupTest, ReadsTheClosestAvailableSnapshot) {
    EXPECT_EQ(ArchiveLookup::QueryUrl("https://archive.test/", "http://a.test/x?y=1&z"),
              "https://archive.test/wayback/available?url=http%3A%2F%2Fa.test%2Fx%3Fy%3D1%26z");
    const auto found = ArchiveLookup::ParseAnswer(
        R"({"url":"a.test","archived_snapshots":{"closest":{"status":"200","available":true,)"
        R"("url":"http://web.archive.test/web/20200101000000/http://a.test/",)"
        R"("timestamp":"20200101000000"}}})");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->url, "http://web.archive.test/web/20200101000000/http://a.test/");
    EXPECT_EQ(found->timestamp, "20200101000000");
    EXPECT_FALSE(ArchiveLookup::ParseAnswer(R"({"archived_snapshots":{}})"));
    EXPECT_FALSE(ArchiveLookup::ParseAnswer(
        R"({"archived_snapshots":{"closest":{"available":false,"url":"http://x/"}}})"));
    EXPECT_FALSE(ArchiveLookup::ParseAnswer(
        R"j({"archived_snapshots":{"closest":{"available":true,"url":"javascript:alert(1)"}}})j"));
    EXPECT_FALSE(ArchiveLookup::ParseAnswer("not json"));
}

// A fake of the archive's availability service: it knows a copy of every page whose address
// contains "kept".
std::unique_ptr<HttpServer> FakeArchive(std::atomic<int>& asked) {
    return std::make_unique<HttpServer>([&asked](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/wayback/available", [&asked](const httplib::Request& req, httplib::Response& res) {
            ++asked;
            const std::string url = req.get_param_value("url");
            if (url.find("kept") == std::string::npos) {
                res.set_content(R"({"archived_snapshots":{}})", "application/json");
                return;
            }
            res.set_content(R"({"archived_snapshots":{"closest":{"available":true,"url":)"
                            R"("http://copy.test/web/2019/)" +
                                url + R"(","timestamp":"20190101000000"}}})",
                            "application/json");
        });
    });
}

class CheckOptionsTest : public ::testing::Test {
  protected:
    testutil::ProgramRun Cli(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, {}, dir.Path());
    }
    void Add(CBrindleDoc& doc, const std::string& name, const std::string& url,
             BrxTime lastChecked = 0) {
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.statusChecking = 1;
        f.status = "Waiting";
        f.lastChecked = lastChecked;
        ASSERT_TRUE(doc.AddBookmark(f));
    }
    testutil::TempDirectory dir;
    std::string file = dir.File("links.brx");
};

TEST_F(CheckOptionsTest, OlderThanChecksOnlyWhatWasCheckedLongerAgo) {
    HttpServer server([](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("ok", "text/plain");
        });
    });
    CBrindleDoc doc;
    const BrxTime now = CBrindleDoc::Now();
    Add(doc, "recent", server.Url("/ok"), now - 3600);
    Add(doc, "old", server.Url("/ok"), now - 8 * 86400);
    Add(doc, "never", server.Url("/ok"));
    ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
    const auto run = Cli({"check", file, "--older-than", "7d", "--no-backup"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.find("recent"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("No change\told\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("No change\tnever\t"), std::string::npos) << run.out;
    // The two just checked are left alone now; the one checked an hour ago is not.
    const auto hours = Cli({"check", file, "--older-than", "30m", "--no-backup"});
    EXPECT_EQ(hours.out, "No change\trecent\t" + server.Url("/ok") + "\n");
}

TEST_F(CheckOptionsTest, EntriesForAHostAtItsLimitWaitAsideWhileOtherHostsGoOn) {
    Log log;
    auto a = LoggingServer(log, "127.0.0.6");
    auto b = LoggingServer(log, "127.0.0.7");
    CBrindleDoc doc;
    Add(doc, "first", b->Url("/wait/0/first"));
    for (int i = 0; i < 5; ++i)
        Add(doc, "a" + std::to_string(i), a->Url("/wait/300/" + std::to_string(i)));
    Add(doc, "last", b->Url("/wait/0/last"));
    ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
    const auto run = Cli({"check", file, "--connect-max", "2", "--per-host", "1", "--no-backup"});
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<Visit> visits = log.Visits();
    ASSERT_EQ(visits.size(), 7u);
    std::sort(visits.begin(), visits.end(),
              [](const Visit& x, const Visit& y) { return x.start < y.start; });
    // Host a takes one at a time: the second slot goes to host b's last entry at once, rather
    // than waiting behind host a's queue.
    const auto last = std::find_if(visits.begin(), visits.end(),
                                   [](const Visit& v) { return v.path == "/wait/0/last"; });
    ASSERT_NE(last, visits.end());
    EXPECT_LE(last - visits.begin(), 2) << "b's last entry came after host a's second";
}

TEST_F(CheckOptionsTest, ArchivedPrintsTheCopyBesideDeadLinksOnly) {
    std::atomic<int> asked{0};
    auto archive = FakeArchive(asked);
    HttpServer server([](httplib::Server& s, const std::atomic<bool>&) {
        s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("ok", "text/plain");
        });
    });
    CBrindleDoc doc;
    Add(doc, "alive", server.Url("/ok"));
    Add(doc, "kept", server.Url("/kept-page"));
    Add(doc, "lost", server.Url("/lost-page"));
    Add(doc, "gone host", "http://kept.invalid/");
    ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
    const auto run =
        Cli({"check", file, "--archived", "--archive-service", archive->Url("/"), "--no-backup"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("No change\talive\t" + server.Url("/ok") + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Page not found\tkept\t" + server.Url("/kept-page") +
                           "\tarchived: http://copy.test/web/2019/" + server.Url("/kept-page") +
                           "\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("Page not found\tlost\t" + server.Url("/lost-page") + "\tarchived: none\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\tarchived: http://copy.test/web/2019/http://kept.invalid/\n"),
              std::string::npos)
        << "a host that is gone: " << run.out;
    EXPECT_EQ(asked, 3) << "only the dead links are asked about";
}

} // namespace
