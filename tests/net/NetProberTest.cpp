// SPDX-License-Identifier: GPL-3.0-or-later
// The prober over the HTTP engine against real servers on 127.0.0.1: status codes, redirects,
// time-outs, broken and hostile answers, TLS, HTTP/2, the proxies. Nothing here contacts another
// address.
#include "TestServer.h"

#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <zlib.h>

using namespace brindle;
using nettest::HttpServer;

namespace {

struct Outcome {
    bool arrived = false;
    ProbeResult result;
    qint64 ms = 0;
};

// Runs `url` to its result in slot 3 of `prober`.
Outcome RunTo(Prober& prober, const std::string& url) {
    Outcome outcome;
    QEventLoop loop;
    prober.SetCompletion([&](int slot, ProbeResult result) {
        EXPECT_EQ(slot, 3);
        outcome.arrived = true;
        outcome.result = std::move(result);
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    prober.Start(3, url, 0);
    EXPECT_FALSE(outcome.arrived) << "never inside Start";
    QTimer::singleShot(20'000, &loop, &QEventLoop::quit); // a hung test fails, not hangs
    if (!outcome.arrived)
        loop.exec();
    outcome.ms = clock.elapsed();
    EXPECT_TRUE(outcome.arrived) << url;
    return outcome;
}

Outcome Ask(NetProber::Mode mode, const std::string& url, int timeoutMs = 5000,
            const SessionSettings& settings = {}) {
    NetSession session;
    session.Open(settings);
    NetProber prober(session, mode);
    prober.SetTimeout(timeoutMs);
    return RunTo(prober, url);
}

Outcome Fetch(const std::string& url, int timeoutMs = 5000) {
    return Ask(NetProber::Mode::Fetch, url, timeoutMs);
}

Outcome Probe(const std::string& url, int timeoutMs = 5000, const SessionSettings& settings = {}) {
    return Ask(NetProber::Mode::Probe, url, timeoutMs, settings);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::mutex portsLock;
std::set<int> ports;

// Sleeps `ms` in small steps, ending early when the server stops.
void Nap(int ms, const std::atomic<bool>& stopping) {
    for (int i = 0; i < ms / 20 && !stopping; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void Routes(httplib::Server& s, const std::atomic<bool>& stopping) {
    s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT");
        res.set_content("<html>ok</html>", "text/html");
    });
    s.Get("/plain", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("User-Agent"), "text/plain");
    });
    // 200 only for the request headers every request carries.
    s.Get("/agent", [](const httplib::Request& req, httplib::Response& res) {
        const bool ours =
            req.get_header_value("User-Agent") == "Brindle" &&
            req.get_header_value("Accept-Encoding") == "identity" &&
            req.get_header_value("Host") == "127.0.0.1:" + std::to_string(req.local_port);
        res.status = ours ? 200 : 400;
        res.set_content("agent", "text/plain");
    });
    // Records the client's port of every connection a request came on.
    s.Get("/conn", [](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard guard(portsLock);
        ports.insert(req.remote_port);
        res.set_content("conn", "text/plain");
    });
    // 200 for a request that came through a proxy (which names itself in Via), else 421.
    s.Get("/via", [](const httplib::Request& req, httplib::Response& res) {
        res.status = req.has_header("Via") ? 200 : 421;
        res.set_content("via", "text/plain");
    });
    s.Get("/bad-date", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "yesterday-ish");
        res.set_content("x", "text/plain");
    });
    s.Get("/r1", [](const httplib::Request&, httplib::Response& res) {
        res.status = 301;
        res.set_header("Location", "/r2");
    });
    s.Get("/r2", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/Ok-Final");
    });
    s.Get("/Ok-Final", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("final", "text/plain");
    });
    // /redirect/CODE/REST answers CODE with the Location "/REST".
    s.Get(R"(/redirect/(\d+)/(.*))", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.matches[1]);
        res.set_header("Location", "/" + std::string(req.matches[2]));
    });
    s.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/loop");
    });
    s.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.matches[1]);
        if (res.status == 429 || res.status == 503)
            res.set_header("Retry-After", "7");
        res.set_content("status", "text/plain");
    });
    s.Get("/slow", [&stopping](const httplib::Request&, httplib::Response& res) {
        Nap(3000, stopping);
        res.set_content("late", "text/plain");
    });
    s.Get("/big-headers", [](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 128; ++i)
            res.set_header("X-Filler-" + std::to_string(i), std::string(8192, 'h'));
        res.set_content("x", "text/plain");
    });
    s.Get("/endless", [&stopping](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "text/html", [&stopping](size_t offset, httplib::DataSink& sink) {
                if (stopping)
                    return false;
                std::string piece = offset == 0 ? "<html><head><title>Endless</title>" : "";
                piece += std::string(16384, 'x');
                return sink.write(piece.data(), piece.size());
            });
    });
    s.Get("/shop", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><head><title>Caf&eacute; &mdash; Shop</title>"
                        "<meta name=\"description\" content=\"Home > Products &copy; 2024\">"
                        "<meta name=\"keywords\" content=\"Alpha, Beta\"></head>",
                        "text/html; charset=utf-8");
    });
    s.Get("/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string("<html><head><title>Caf\xE9 Page</title>"
                                    "<meta name=Description content='It&#39;s Good'>"
                                    "<meta content=\"One;Two\" name=\"keywords\"></head><body>") +
                            std::string(500'000, 'b') + "</body></html>",
                        "text/html; charset=iso-8859-1");
    });
    // A gzip body that would expand to 4 GiB of zeros, deflated as the client reads.
    s.Get("/bomb", [&stopping](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Encoding", "gzip");
        auto stream = std::make_shared<z_stream>();
        deflateInit2(stream.get(), 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        auto produced = std::make_shared<std::uint64_t>(0);
        res.set_chunked_content_provider(
            "text/html",
            [stream, produced, &stopping](size_t, httplib::DataSink& sink) {
                static const std::string zeros(1 << 20, '\0');
                std::string out(1 << 16, '\0');
                const bool last = *produced >= (std::uint64_t{4} << 30);
                stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
                stream->avail_in = last ? 0 : static_cast<uInt>(zeros.size());
                *produced += zeros.size();
                do {
                    stream->next_out = reinterpret_cast<Bytef*>(out.data());
                    stream->avail_out = static_cast<uInt>(out.size());
                    deflate(stream.get(), last ? Z_FINISH : Z_NO_FLUSH);
                    const size_t n = out.size() - stream->avail_out;
                    if (n && !sink.write(out.data(), n))
                        return false;
                } while (stream->avail_out == 0);
                if (last || stopping) {
                    sink.done();
                    return true;
                }
                return true;
            },
            [stream](bool) { deflateEnd(stream.get()); });
    });
}

// The routes' server, shared by all tests of this file.
HttpServer* server = nullptr;
class ServerEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { server = new HttpServer(Routes); }
    void TearDown() override {
        delete server;
        server = nullptr;
    }
};

TEST(NetProberTest, OkAnswersWithAndWithoutLastModified) {
    const Outcome ok = Probe(server->Url("/ok"));
    EXPECT_EQ(ok.result.result, 200);
    EXPECT_EQ(ok.result.location, "") << "no redirect: the queued URL stays";
    ASSERT_TRUE(ok.result.lastModified.has_value());
    EXPECT_EQ(*ok.result.lastModified, 784111777) << "read as the UTC date it is";
    EXPECT_FALSE(Probe(server->Url("/plain")).result.lastModified.has_value());
    EXPECT_FALSE(Probe(server->Url("/bad-date")).result.lastModified.has_value());
}

TEST(NetProberTest, AgentTextIsBrindle) {
    const Outcome page = Fetch(server->Url("/plain"));
    EXPECT_EQ(page.result.result, 200);
    EXPECT_TRUE(page.result.pageRead);
    EXPECT_EQ(Probe(server->Url("/agent")).result.result, 200);
    EXPECT_EQ(Fetch(server->Url("/agent")).result.result, 200);
}

TEST(NetProberTest, RedirectChainsLoopsAndCodes) {
    // 301, then 302: the page moved for good to where the 301 pointed.
    const Outcome chain = Probe(server->Url("/r1"));
    EXPECT_EQ(chain.result.result, 200);
    EXPECT_EQ(chain.result.location, server->Url("/r2"));
    EXPECT_EQ(ClassifyResult(chain.result.result, server->Url("/r1"), chain.result.location),
              "Changed");
    EXPECT_EQ(Probe(server->Url("/loop")).result.result, kErrRedirectFailed);
    for (int code : {401, 403, 404, 407, 500})
        EXPECT_EQ(Probe(server->Url("/status/" + std::to_string(code))).result.result, code);
    // Hosts of their own: the engine leaves a host alone for the seven seconds it asks.
    HttpServer second(Routes, "127.0.0.2");
    const Outcome busy = Probe(second.Url("/status/503"));
    EXPECT_EQ(busy.result.result, 503);
    EXPECT_EQ(busy.result.retryAfter, 7);
    HttpServer third(Routes, "127.0.0.3");
    EXPECT_EQ(Probe(third.Url("/status/429")).result.retryAfter, 7);
}

TEST(NetProberTest, OnlyPermanentRedirectsMoveTheLocation) {
    for (const char* code : {"301", "308"}) {
        const Outcome moved = Probe(server->Url(std::string("/redirect/") + code + "/Ok-Final"));
        EXPECT_EQ(moved.result.result, 200) << code;
        EXPECT_EQ(moved.result.location, server->Url("/Ok-Final")) << code << ", as spelled";
    }
    for (const char* code : {"302", "303", "307"}) {
        const std::string url = server->Url(std::string("/redirect/") + code + "/Ok-Final");
        const Outcome hop = Probe(url);
        EXPECT_EQ(hop.result.result, 200) << code << ": classified by the final answer";
        EXPECT_EQ(hop.result.location, "") << code;
        EXPECT_EQ(ClassifyResult(hop.result.result, url, hop.result.location), "No change");
    }
    // A temporary hop first: whatever follows it is no new home of the queued URL.
    EXPECT_EQ(Probe(server->Url("/redirect/302/redirect/301/Ok-Final")).result.location, "");
    EXPECT_EQ(Probe(server->Url("/redirect/307/redirect/404/x")).result.result, 404);
}

TEST(NetProberTest, SlowAnswerTimesOut) {
    const Outcome slow = Probe(server->Url("/slow"), 400);
    EXPECT_EQ(slow.result.result, kErrTimeout);
    EXPECT_LT(slow.ms, 2500);
    EXPECT_EQ(ClassifyResult(slow.result.result, "", ""), "Time Out");
}

TEST(NetProberTest, HugeHeadersEndBoundedly) {
    const long before = PeakRssKb();
    const Outcome big = Probe(server->Url("/big-headers"), 5000);
    EXPECT_EQ(big.result.result, 200) << "the page answers, however long its headers";
    EXPECT_LT(big.ms, 5000);
    EXPECT_LT(PeakRssKb() - before, 64 * 1024);
}

TEST(NetProberTest, EndlessBodyStopsAtTheReadLimit) {
    const Outcome endless = Fetch(server->Url("/endless"));
    EXPECT_EQ(endless.result.result, 200);
    EXPECT_EQ(endless.result.page.title, "Endless");
    EXPECT_LT(endless.ms, 5000);
    // A probe stops after the headers.
    EXPECT_EQ(Probe(server->Url("/endless")).result.result, 200);
}

TEST(NetFetchTest, FetchReadsTheHeadInItsCharset) {
    const Outcome page = Fetch(server->Url("/page"));
    EXPECT_EQ(page.result.result, 200);
    EXPECT_EQ(page.result.page.title, "Caf\xC3\xA9 Page");
    EXPECT_EQ(page.result.page.description, "It's Good");
    EXPECT_EQ(page.result.page.keywords, "One;Two");
}

TEST(NetFetchTest, QuotedGreaterThanNamedReferencesAndCommaKeywords) {
    const Outcome page = Fetch(server->Url("/shop"));
    EXPECT_EQ(page.result.result, 200);
    EXPECT_EQ(page.result.page.title, "Caf\xC3\xA9 \xE2\x80\x94 Shop");
    EXPECT_EQ(page.result.page.description, "Home > Products \xC2\xA9 2024");
    EXPECT_EQ(FetchedKeywords(page.result.page.keywords, ""), "alpha beta");
}

TEST(NetProberTest, GzipBombKeepsMemoryBounded) {
    const long before = PeakRssKb();
    const Outcome fetch = Fetch(server->Url("/bomb"), 8000);
    EXPECT_NE(fetch.result.result, 0);
    EXPECT_LT(fetch.ms, 8000);
    const Outcome probe = Probe(server->Url("/bomb"));
    EXPECT_EQ(probe.result.result, 200);
    EXPECT_LT(PeakRssKb() - before, 64 * 1024) << "peak memory grew by more than 64 MB";
}

TEST(NetProberRawTest, ConnectionClosedMidHeaders) {
    nettest::RawServer raw("HTTP/1.1 200 OK\r\nContent-Ty");
    const Outcome cut = Probe(raw.Url("/"));
    EXPECT_EQ(cut.result.result, kErrInvalidResponse);
    EXPECT_EQ(ClassifyResult(cut.result.result, "", ""), "No Response");
    // Closed without a word, also when asked again.
    nettest::RawServer silent("");
    EXPECT_EQ(Probe(silent.Url("/")).result.result, kErrInvalidResponse);
    nettest::RawServer garbage("this is not HTTP at all\r\n\r\n");
    EXPECT_EQ(Probe(garbage.Url("/")).result.result, kErrInvalidResponse);
}

TEST(NetProberRawTest, AnswerWhoseBodyStallsIsClassifiedOnItsHeaders) {
    // A short Content-Length, part of the body, then silence on an open connection.
    nettest::RawServer stalling("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", true);
    const Outcome ok = Probe(stalling.Url("/"), 4000);
    EXPECT_EQ(ok.result.result, 200);
    EXPECT_LT(ok.ms, 1500) << "classified on the headers, not at the time-out";
    nettest::RawServer missing("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", true);
    const Outcome gone = Probe(missing.Url("/"), 4000);
    EXPECT_EQ(gone.result.result, 404);
    EXPECT_LT(gone.ms, 1500);
    {
        // Two such waits begun apart share one timer: the later one still ends on time.
        NetSession session;
        session.Open({});
        NetProber prober(session, NetProber::Mode::Probe);
        prober.SetTimeout(4000);
        std::map<int, qint64> ended;
        QEventLoop loop;
        QElapsedTimer clock;
        prober.SetCompletion([&](int slot, ProbeResult result) {
            EXPECT_EQ(result.result, 200);
            ended[slot] = clock.elapsed();
            if (ended.size() == 2)
                loop.quit();
        });
        clock.start();
        prober.Start(1, stalling.Url("/a"), 0);
        prober.Start(2, stalling.Url("/b"), 150);
        QTimer::singleShot(20'000, &loop, &QEventLoop::quit);
        loop.exec();
        ASSERT_EQ(ended.size(), 2u);
        EXPECT_LT(ended[2], 1500);
        EXPECT_GE(ended[2] - ended[1], 50) << "each after its own wait, not both at the first";
    }
    if (nettest::TinyProxy::Program().isEmpty())
        GTEST_SKIP() << "tinyproxy is not installed: the proxy path is not tested";
    nettest::TinyProxy proxy;
    SessionSettings s;
    s.hasProxy = true;
    s.server = "127.0.0.1:" + std::to_string(proxy.Port());
    const Outcome via = Probe(stalling.Url("/"), 4000, s);
    EXPECT_EQ(via.result.result, 200);
    EXPECT_LT(via.ms, 1500) << "through the proxy too";
}

TEST(NetProberRawTest, InterimAnswersHttp10AndReasonPhrases) {
    nettest::RawServer interim("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Gone Away\r\n"
                               "Content-Length: 0\r\n\r\n");
    const Outcome after = Probe(interim.Url("/"));
    EXPECT_EQ(after.result.result, 404) << "the interim answer is passed over";
    EXPECT_EQ(after.result.statusText, "Gone Away");
    // HTTP/1.0 without a length: the answer ends with the connection.
    nettest::RawServer old("HTTP/1.0 200 OK\r\nLast-Modified: Sunday, 06-Nov-94 08:49:37 GMT\r\n"
                           "\r\nbody");
    const Outcome ok = Probe(old.Url("/"));
    EXPECT_EQ(ok.result.result, 200);
    ASSERT_TRUE(ok.result.lastModified.has_value()) << "the RFC 850 date form";
    EXPECT_EQ(*ok.result.lastModified, 784111777);
    nettest::RawServer version("HTTP/2 200 OK\r\n\r\n");
    EXPECT_EQ(Probe(version.Url("/")).result.result, kErrInvalidResponse);
}

TEST(NetProberTest, ShortAnswersKeepTheConnectionForTheNextRequest) {
    NetSession session;
    session.Open({});
    auto prober = std::make_unique<NetProber>(session, NetProber::Mode::Probe);
    {
        std::lock_guard guard(portsLock);
        ports.clear();
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RunTo(*prober, server->Url("/conn")).result.result, 200);
    EXPECT_EQ(RunTo(*prober, server->Url("/status/404")).result.result, 404);
    {
        std::lock_guard guard(portsLock);
        EXPECT_EQ(ports.size(), 1u) << "one connection for the slot's requests";
    }
    // The server closes an idle connection after a second: the next request opens another.
    QEventLoop idle;
    QTimer::singleShot(1500, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_EQ(RunTo(*prober, server->Url("/conn")).result.result, 200);
    std::lock_guard guard(portsLock);
    EXPECT_EQ(ports.size(), 2u);
}

// Answers the first request on each connection and closes at the second, unanswered: a kept
// connection the server dropped just as the next request went out.
class OneAnswerServer {
  public:
    OneAnswerServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++connections;
                auto answered = std::make_shared<bool>(false);
                QObject::connect(s, &QTcpSocket::readyRead, s, [s, answered] {
                    s->readAll();
                    if (*answered) {
                        s->close();
                        return;
                    }
                    *answered = true;
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
    }
    int connections = 0;

  private:
    QTcpServer m_server;
};

TEST(NetProberRawTest, RequestOnADroppedKeptConnectionIsSentAgain) {
    OneAnswerServer server;
    NetSession session;
    session.Open({});
    auto prober = std::make_unique<NetProber>(session, NetProber::Mode::Probe);
    EXPECT_EQ(RunTo(*prober, server.Url("/a")).result.result, 200);
    EXPECT_EQ(RunTo(*prober, server.Url("/b")).result.result, 200);
    EXPECT_EQ(server.connections, 2);
}

TEST(NetProberRawTest, ClosedPortUnresolvableNameAndBadUrls) {
    const std::string closed = "http://127.0.0.1:" + std::to_string(nettest::ClosedPort()) + "/";
    const Outcome refused = Probe(closed);
    EXPECT_EQ(refused.result.result, kErrCannotConnect);
    EXPECT_EQ(ClassifyResult(refused.result.result, "", ""), "Server not found");
    const Outcome unknown = Probe("http://no-such-host.invalid/");
    EXPECT_EQ(ClassifyResult(unknown.result.result, "", ""), "Server address unknown");
    // The broadcast address: connecting fails at once, before any packet leaves.
    const Outcome broadcast = Probe("http://255.255.255.255:9/");
    EXPECT_EQ(broadcast.result.result, kErrInternal);
    EXPECT_EQ(Probe("gopher://127.0.0.1/").result.result, kErrUnknownScheme);
    EXPECT_EQ(Probe("http:///nohost").result.result, kErrBadUrl);
    EXPECT_EQ(Probe("not a url").result.result, kErrBadUrl);
}

// A URL sent as written must be exactly what the parse into a QUrl would have sent, and one it
// refuses must take that parse. Random URLs from the characters and shapes where QUrl rewrites
// (address shorthands, escapes, case, ports, international names) check the first; the table
// the second.
TEST(NetProberTest, PlainUrlsAreSentAsQUrlWouldSendThem) {
    for (const char* other :
         {"http://127.1/",     "http://0x7f.0.0.1/",  "http://010.0.0.1/",
          "http://1.2.3.4.5/", "http://a.invalid/",   "http://invalid",
          "HTTP://a/",         "http://Example.com/", "http://a/%41",
          "http://a/b#c",      "http://a:080/",       "http://a:/",
          "http://a:65536/",   "http://a./",          "http://xn--e1afmkfd.xn--p1ai/",
          "http://a_b/",       "http://-a/",          "http://u@a/",
          "http://[::1]/",     "http://a/b c",        "ftp://a/"})
        EXPECT_FALSE(IsPlainHttpUrl(other)) << other;
    for (const char* plain : {"http://127.0.0.1:8080/a?b=c&d", "https://example.com",
                              "http://a.b-c.d/x/../y/./z?q=a:b@c/d?e"})
        EXPECT_TRUE(IsPlainHttpUrl(plain)) << plain;

    std::mt19937 random(20261209);
    const auto pick = [&](std::string_view from, std::size_t most) {
        std::string out(std::uniform_int_distribution<std::size_t>(0, most)(random), ' ');
        for (char& c : out)
            c = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
        return out;
    };
    const std::string schemes[] = {"http://", "https://", "Http://"};
    std::size_t plain = 0;
    for (int i = 0; i < 100'000; ++i) {
        std::string url = schemes[random() % 3] + pick("ab09x.-", 10);
        if (random() % 2)
            url += ":" + pick("0123456789", 6);
        if (random() % 4)
            url += "/" + pick("aZ09-._~!$&'()*+,;=:@/?%#[]{}| \\\"<>^`\x7f\xc3\xa9", 12);
        if (!IsPlainHttpUrl(url))
            continue;
        ++plain;
        const QUrl parsed(QString::fromStdString(url));
        ASSERT_EQ(UrlRefusal(parsed), 0) << url;
        ASSERT_EQ(parsed.toString(QUrl::FullyEncoded | QUrl::RemoveFragment).toStdString(), url);
    }
    EXPECT_GT(plain, 5'000u); // the generator reaches the plain form often enough to mean much
}

TEST(NetProberRawTest, SelfSignedCertificateIsRefused) {
    nettest::SelfSignedServer tls;
    if (!tls.Ready())
        GTEST_SKIP() << "openssl could not make a certificate";
    const Outcome secure = Probe(tls.Url());
    EXPECT_EQ(secure.result.result, kErrCertAuthorityInvalid);
    EXPECT_NE(secure.result.statusText, "") << "what the certificate check found";
    // Told apart from a bookmark never checked, and explained.
    EXPECT_EQ(ClassifyResult(secure.result.result, "", ""), "Server error");
    EXPECT_EQ(SystemErrorText(secure.result.result),
              "The certificate authority is invalid or incorrect");
}

TEST(NetProberProxyTest, ThroughTinyproxyWithAndWithoutCredentials) {
    if (nettest::TinyProxy::Program().isEmpty())
        GTEST_SKIP() << "tinyproxy is not installed: the proxy path is not tested";
    HttpServer origin(Routes);
    {
        nettest::TinyProxy proxy;
        SessionSettings s;
        s.hasProxy = true;
        s.server = "127.0.0.1";
        s.port = proxy.Port(); // no port in the server text: "Port" is added
        const Outcome via = Probe(origin.Url("/ok"), 5000, s);
        EXPECT_EQ(via.result.result, 200);
        EXPECT_EQ(Probe(origin.Url("/via"), 5000, s).result.result, 200) << "through the proxy";
        EXPECT_EQ(Probe(origin.Url("/via")).result.result, 421) << "without one, direct";
    }
    {
        nettest::TinyProxy proxy("walter", "s3cret");
        SessionSettings s;
        s.hasProxy = true;
        s.server = "127.0.0.1:" + std::to_string(proxy.Port());
        s.port = 1; // the server text names its port: this one is not used
        EXPECT_EQ(Probe(origin.Url("/ok"), 5000, s).result.result, 407);
        s.user = "walter";
        s.password = "s3cret";
        EXPECT_EQ(Probe(origin.Url("/ok"), 5000, s).result.result, 200);
    }
}

TEST(NetSessionTest, ProxyFromSettings) {
    SessionSettings s;
    EXPECT_EQ(NetSession::ProxyFor(s).url, "");
    s.hasProxy = true;
    s.server = "proxy.example";
    s.port = 3128;
    EXPECT_EQ(NetSession::ProxyFor(s).url, "http://proxy.example:3128");
    s.server = "http=proxy.example:8080;https=other:1";
    EXPECT_EQ(NetSession::ProxyFor(s).url, "http://proxy.example:8080");
    s.server = "SOCKS5://127.0.0.1:1080";
    EXPECT_EQ(NetSession::ProxyFor(s).url, "socks5://127.0.0.1:1080");
    s.server = "socks4a://gate";
    EXPECT_EQ(NetSession::ProxyFor(s).url, "socks4a://gate:3128");
    s.server = "https://[::1]:8443";
    EXPECT_EQ(NetSession::ProxyFor(s).url, "https://[::1]:8443");
    s.server = "ftp://odd:21";
    EXPECT_EQ(NetSession::ProxyFor(s).url, "http://odd:21") << "an unknown kind is HTTP";
    EXPECT_EQ(NetSession::ProxyFor(s).password, "") << "no user, no password";
    s.user = "u";
    s.password = "p";
    EXPECT_EQ(NetSession::ProxyFor(s).user, "u");
    EXPECT_EQ(NetSession::ProxyFor(s).password, "p");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // One host serves every test here: the politeness towards it would only slow them down.
    const std::shared_ptr<CurlEngine> engine = CurlEngine::Instance();
    HostLimits unlimited;
    unlimited.perHost = 16;
    unlimited.hostRate = 1000;
    engine->SetLimits(unlimited);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);
    return RUN_ALL_TESTS();
}
