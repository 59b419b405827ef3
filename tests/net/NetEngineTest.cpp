// SPDX-License-Identifier: GPL-3.0-or-later
// The engines over both probers, and brindle-cli check / fetch, against a server on 127.0.0.1.
#include "TestServer.h"

#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "platform/net/SocketProber.h"
#include "status/LinkEngine.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "support/BookmarkLookup.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <thread>

using namespace brindle;
using nettest::HttpServer;

namespace {

// Counts how many requests are inside the server at once.
struct Concurrency {
    std::mutex lock;
    int now = 0;
    int most = 0;
    int total = 0;
    void Enter() {
        std::lock_guard g(lock);
        most = std::max(most, ++now);
        ++total;
    }
    void Leave() {
        std::lock_guard g(lock);
        --now;
    }
};

// The check engine over QtNetwork (true) or over its own sockets (false).
class NetEngineTest : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Probers, NetEngineTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "NetProber" : "SocketProber";
                         });

TEST_P(NetEngineTest, CheckRunUsesConnectMaxConnectionsAndAppliesEveryResult) {
    Concurrency seen;
    HttpServer server([&seen](httplib::Server& s, const std::atomic<bool>&) {
        s.Get(R"(/p/(\d+))", [&seen](const httplib::Request& req, httplib::Response& res) {
            seen.Enter();
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            seen.Leave();
            res.status = std::stoi(req.matches[1]) % 5 == 0 ? 404 : 200;
            res.set_content("x", "text/plain");
        });
    });
    CPreferences prefs;
    prefs.m_nConnectMax = 4;
    CBrindleDoc doc(prefs);
    std::vector<std::uint32_t> all;
    for (int i = 0; i < 16; ++i) {
        const std::string name = "n" + std::to_string(i);
        const std::string url = server.Url("/p/" + std::to_string(i));
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.statusChecking = 1;
        ASSERT_TRUE(doc.AddBookmark(f));
        all.push_back(static_cast<std::uint32_t>(i));
    }
    NetSession session;
    NetProber netProber(session, NetProber::Mode::Probe);
    SocketProber socketProber(session);
    Prober& prober = GetParam() ? static_cast<Prober&>(netProber) : socketProber;
    QEventLoop loop;
    LinkEngine::Callbacks cb;
    cb.openSession = [&] { return session.Open({}); };
    LinkEngine* engine = nullptr;
    cb.runChanged = [&] {
        if (engine && !engine->Running() && engine->Idle())
            loop.quit();
    };
    LinkEngine e(LinkJob::Check, doc, prober, cb);
    engine = &e;
    e.Toggle(all);
    QTimer::singleShot(20'000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(e.Running());
    EXPECT_EQ(seen.total, 16);
    EXPECT_EQ(seen.most, 4);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(testutil::FindByName(doc, "n" + std::to_string(i))->m_strStatus,
                  i % 5 == 0 ? "Page not found" : "No change");
}

class CliLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<HttpServer>([](httplib::Server& s, const std::atomic<bool>&) {
            s.Get("/alive", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("<html><head><title>Alive Page</title>"
                                "<meta name=description content=\"Still Here\">"
                                "<meta name=keywords content=\"Live;Well\"></head>",
                                "text/html");
            });
            s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
                res.status = 301;
                res.set_header("Location", "/New/Place");
            });
            s.Get("/New/Place", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("<title>Moved</title>", "text/html");
            });
        });
        CBrindleDoc doc;
        Add(doc, "alive", server->Url("/alive"), "web");
        Add(doc, "dead", server->Url("/dead"), "web");
        Add(doc, "moved", server->Url("/moved"), "other");
        Add(doc, "nocheck", server->Url("/alive"), "web", 0);
        ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
    }
    static void Add(CBrindleDoc& doc, const std::string& name, const std::string& url,
                    const std::string& keywords, std::uint16_t checking = 1) {
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.keywords = keywords;
        f.statusChecking = checking;
        f.status = "Waiting";
        ASSERT_TRUE(doc.AddBookmark(f));
    }
    testutil::ProgramRun Cli(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, {}, dir.Path());
    }

    testutil::TempDirectory dir;
    std::string file = dir.File("links.brx");
    std::unique_ptr<HttpServer> server;
};

TEST_F(CliLinkTest, CheckPrintsResultsSavesWithBackupsAndExitsZero) {
    const auto run = Cli({"check", file, "--connect-max", "2"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("No change\talive\t" + server->Url("/alive") + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Page not found\tdead\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Changed\tmoved\t" + server->Url("/New/Place") + "\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("nocheck"), std::string::npos) << "checking off: skipped";
    EXPECT_NE(run.err.find("checked 3 of 3"), std::string::npos) << run.err;
    EXPECT_TRUE(testutil::Exists(dir.File("links.bak")));
    CBrindleDoc saved;
    ASSERT_TRUE(OpenDocumentFile(saved, file).ok);
    EXPECT_EQ(testutil::FindByName(saved, "dead")->m_strStatus, "Page not found");
    EXPECT_EQ(testutil::FindByName(saved, "moved")->m_strURL, server->Url("/New/Place"));
    EXPECT_EQ(testutil::FindByName(saved, "nocheck")->m_strStatus, "Waiting");
}

TEST_F(CliLinkTest, FetchOverAQueryTakesDescriptionAndKeywords) {
    const auto run = Cli({"fetch", file, "--query", "web", "--no-backup"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_FALSE(testutil::Exists(dir.File("links.bak")));
    EXPECT_EQ(run.out.find("moved"), std::string::npos) << "not a hit of the query";
    CBrindleDoc saved;
    ASSERT_TRUE(OpenDocumentFile(saved, file).ok);
    const auto alive = testutil::FindByName(saved, "alive");
    EXPECT_EQ(alive->m_strStatus, "Changed");
    EXPECT_EQ(alive->m_strDescription, "Still Here");
    EXPECT_EQ(alive->m_strKeywords, "web live well");
    EXPECT_EQ(testutil::FindByName(saved, "nocheck")->m_strStatus, "Changed")
        << "the fetch does not consult the checking switch";
    EXPECT_EQ(testutil::FindByName(saved, "dead")->m_strStatus, "Page not found");
}

TEST_F(CliLinkTest, CheckThroughAProxy) {
    if (nettest::TinyProxy::Program().isEmpty())
        GTEST_SKIP() << "tinyproxy is not installed: the proxy path is not tested";
    nettest::TinyProxy proxy;
    const auto run =
        Cli({"check", file, "--no-backup", "--proxy", "127.0.0.1:" + std::to_string(proxy.Port())});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("No change\talive\t"), std::string::npos) << run.out;
    // A proxy that is not there: every link fails to connect, the run still completes.
    const auto closed = Cli({"check", file, "--no-backup", "--timeout", "5", "--proxy",
                             "127.0.0.1:" + std::to_string(nettest::ClosedPort())});
    EXPECT_EQ(closed.code, 0) << closed.err;
    EXPECT_NE(closed.out.find("Server not found\talive\t"), std::string::npos) << closed.out;
}

TEST_F(CliLinkTest, FileErrorsAndUsage) {
    EXPECT_EQ(Cli({"check", dir.File("missing.brx")}).code, 1);
    EXPECT_EQ(Cli({"check", file, "--connect-max", "9"}).code, 2);
}

} // namespace
