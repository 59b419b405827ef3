// SPDX-License-Identifier: GPL-3.0-or-later
// The engines over the prober, and brindle-cli check / fetch, against a server on 127.0.0.1.
#include "TestServer.h"

#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
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

TEST(NetEngineTest, CheckRunUsesConnectMaxConnectionsAndAppliesEveryResult) {
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
    NetProber prober(session, NetProber::Mode::Probe);
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
        server = std::make_unique<HttpServer>([this](httplib::Server& s, const std::atomic<bool>&) {
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
            // /hop/CODE redirects to /New/Place with that code.
            s.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
                res.status = std::stoi(req.matches[1]);
                res.set_header("Location", "/New/Place");
            });
            s.Get("/tagged", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("<meta name=keywords content=\"Alpha, Beta\">", "text/html");
            });
            // Answers a second after it was asked, so that other writers can act meanwhile.
            s.Get("/held", [this](const httplib::Request&, httplib::Response& res) {
                ++held;
                std::this_thread::sleep_for(std::chrono::seconds(1));
                res.set_content("<title>Held</title>", "text/html");
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

    // A document of its own with one bookmark per (name, url).
    std::string Document(const std::vector<std::pair<std::string, std::string>>& links) {
        CBrindleDoc doc;
        for (const auto& [name, url] : links)
            Add(doc, name, url, "web");
        const std::string path = dir.File("own.brx");
        EXPECT_TRUE(WriteDocumentFile(doc, path).ok);
        return path;
    }

    testutil::TempDirectory dir;
    std::string file = dir.File("links.brx");
    std::atomic<int> held{0};
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

TEST_F(CliLinkTest, OnlyPermanentRedirectsRepairTheUrl) {
    const std::string path = Document({{"p301", server->Url("/hop/301")},
                                       {"p308", server->Url("/hop/308")},
                                       {"t302", server->Url("/hop/302")},
                                       {"t303", server->Url("/hop/303")},
                                       {"t307", server->Url("/hop/307")}});
    const auto run = Cli({"check", path, "--no-backup"}); // repairing is on by default
    ASSERT_EQ(run.code, 0) << run.err;
    CBrindleDoc saved;
    ASSERT_TRUE(OpenDocumentFile(saved, path).ok);
    for (const char* name : {"p301", "p308"}) {
        EXPECT_EQ(testutil::FindByName(saved, name)->m_strStatus, "Changed") << name;
        EXPECT_EQ(testutil::FindByName(saved, name)->m_strURL, server->Url("/New/Place")) << name;
    }
    for (const char* code : {"302", "303", "307"}) {
        const auto b = testutil::FindByName(saved, std::string("t") + code);
        EXPECT_EQ(b->m_strStatus, "No change") << code;
        EXPECT_EQ(b->m_strURL, server->Url(std::string("/hop/") + code));
    }
}

TEST_F(CliLinkTest, ARunMergesWhatAnotherWriterSavedMeanwhile) {
    for (const std::string job : {"check", "fetch"}) {
        const std::string path = Document({{"held", server->Url("/held")}});
        held = 0;
        testutil::ProgramRun run;
        std::thread running([&] { run = Cli({job, path, "--no-backup"}); });
        // The run has read the file and waits for the server: another writer adds and saves.
        for (int i = 0; i < 500 && held == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto added = Cli({"add", path, "--name", "added", "--url", "http://added/"});
        running.join();
        EXPECT_EQ(added.code, 0) << job << ": the run holds no lock while it asks";
        EXPECT_EQ(run.code, 0) << run.err;
        CBrindleDoc saved;
        ASSERT_TRUE(OpenDocumentFile(saved, path).ok);
        EXPECT_TRUE(testutil::FindByName(saved, "added")) << job << ": the add is not lost";
        ASSERT_TRUE(testutil::FindByName(saved, "held"));
        EXPECT_EQ(testutil::FindByName(saved, "held")->m_strStatus,
                  job == "check" ? "No change" : "Changed")
            << job;
    }
}

TEST_F(CliLinkTest, CommaSeparatedKeywordsAreFoundOneByOne) {
    const std::string path = Document({{"tagged", server->Url("/tagged")}});
    ASSERT_EQ(Cli({"fetch", path, "--no-backup"}).code, 0);
    for (const char* word : {"alpha", "beta"}) {
        const auto found = Cli({"list", path, "--query", word, "--no-partial"});
        EXPECT_NE(found.out.find("tagged"), std::string::npos) << word << "\n" << found.out;
    }
}

TEST_F(CliLinkTest, ACertificateFailureIsReportedWithItsText) {
    nettest::SelfSignedServer tls;
    if (!tls.Ready())
        GTEST_SKIP() << "openssl could not make a certificate";
    const std::string path = Document({{"secure", tls.Url()}});
    const auto run = Cli({"check", path, "--no-backup"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Server error\tsecure\t" + tls.Url() +
                           "\tThe certificate authority is invalid or incorrect\n");
    const auto fetch = Cli({"fetch", path, "--no-backup"});
    EXPECT_NE(fetch.out.find("\tThe certificate authority is invalid or incorrect\n"),
              std::string::npos)
        << fetch.out;
}

TEST_F(CliLinkTest, FileErrorsAndUsage) {
    EXPECT_EQ(Cli({"check", dir.File("missing.brx")}).code, 1);
    EXPECT_EQ(Cli({"check", file, "--connect-max", "129"}).code, 2);
    EXPECT_EQ(Cli({"check", file, "--per-host", "0"}).code, 2);
    EXPECT_EQ(Cli({"check", file, "--host-rate", "0"}).code, 2);
    EXPECT_EQ(Cli({"check", file, "--older-than", "7w"}).code, 2);
    EXPECT_EQ(Cli({"fetch", file, "--archived"}).code, 2) << "a check's option only";
}

} // namespace
