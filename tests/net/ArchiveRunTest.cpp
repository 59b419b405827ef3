// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli archive killed in the middle of a run over a loopback server: the archive opens
// consistent with whole batches, and the next run completes it.
#include "TestServer.h"

#include "archive/PageArchive.h"
#include "archive/PageArchiver.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <sqlite3.h>

using namespace brindle;
using nettest::HttpServer;

TEST(ArchiveRunTest, AKilledRunLeavesAConsistentArchiveThatTheNextRunCompletes) {
    // Several loopback hosts: the engine is polite to each one.
    std::vector<std::unique_ptr<HttpServer>> servers;
    for (int host = 1; host <= 6; ++host)
        servers.push_back(std::make_unique<HttpServer>(
            [](httplib::Server& s, const std::atomic<bool>&) {
                s.Get(R"(/p/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
                    res.set_content("<title>Page " + req.matches[1].str() +
                                        "</title><p>words of page " + req.matches[1].str() + "</p>",
                                    "text/html");
                });
            },
            "127.0.0." + std::to_string(host)));
    testutil::TempDirectory dir;
    const std::string file = dir.File("pages.brx");
    constexpr int kPages = 240;
    CBrindleDoc doc;
    for (int i = 0; i < kPages; ++i) {
        BookmarkFields f;
        const std::string name = "p" + std::to_string(i),
                          url = servers[i % servers.size()]->Url("/p/" + name.substr(1));
        f.name = name;
        f.url = url;
        ASSERT_TRUE(doc.AddBookmark(f));
    }
    ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
    const std::string data = dir.File("data");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data));

    QProcess run;
    run.setProcessEnvironment(env);
    run.start(QStringLiteral(BRINDLE_CLI_PATH),
              {QStringLiteral("archive"), QString::fromStdString(file)});
    ASSERT_TRUE(run.waitForStarted());
    // Killed once a batch is in: a reader sees committed pages only.
    const std::string location = PageArchive::LocationFor(file);
    const auto committed = [&] {
        sqlite3* db = nullptr;
        std::int64_t n = 0;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "SELECT count(*) FROM page", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    };
    while (committed() < static_cast<std::int64_t>(PageArchiver::kBatch) &&
           run.state() == QProcess::Running)
        run.waitForFinished(10);
    ASSERT_EQ(run.state(), QProcess::Running) << "the run ended before it could be killed";
    ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
    run.waitForFinished();

    {
        PageArchive archive;
        ASSERT_TRUE(archive.Open(location, false)) << archive.Error();
        EXPECT_EQ(archive.Verify(), "");
        const std::size_t kept = archive.Count();
        EXPECT_GE(kept, PageArchiver::kBatch);
        EXPECT_LT(kept, static_cast<std::size_t>(kPages));
        EXPECT_EQ(kept % PageArchiver::kBatch, 0u) << "whole batches only";
    }
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(QStringLiteral(BRINDLE_CLI_PATH),
                {QStringLiteral("archive"), QString::fromStdString(file)});
    ASSERT_TRUE(again.waitForFinished(120000));
    EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
    PageArchive archive;
    ASSERT_TRUE(archive.Open(location, false)) << archive.Error();
    EXPECT_EQ(archive.Count(), static_cast<std::size_t>(kPages));
    EXPECT_EQ(archive.Search("words", 0, 0).hits.size(), static_cast<std::size_t>(kPages));
    EXPECT_EQ(archive.Verify(), "");
}
