// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli archive killed in the middle of a run over a loopback server: the archive opens
// consistent with whole batches, and the next run completes it. Archived texts outlive a linked
// file's sync and a conflict copy's merge.
#include "TestServer.h"

#include "archive/PageArchive.h"
#include "archive/PageArchiver.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/Trash.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sqlite3.h>
#include <sstream>

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

namespace {

// A document of three bookmarks whose pages a loopback server holds, archived once.
class ArchivedDocument : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        CBrindleDoc doc;
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(doc.AddBookmark({.name = "p" + std::to_string(i), .url = Page(i)}));
        ASSERT_TRUE(WriteDocumentFile(doc, file).ok);
        const testutil::ProgramRun run = Cli({"archive", file});
        ASSERT_EQ(run.code, 0) << run.err;
        ASSERT_EQ(ArchivedUrls(), (std::set<std::string>{Page(0), Page(1), Page(2)}));
    }
    std::string Page(int i) const { return server.Url("/p/" + std::to_string(i)); }
    testutil::ProgramRun Cli(const std::vector<std::string>& args) {
        return testutil::RunProgram(
            BRINDLE_CLI_PATH, args,
            {"XDG_DATA_HOME=" + dir.File("data"), "XDG_STATE_HOME=" + dir.File("state")},
            dir.Path());
    }
    std::set<std::string> ArchivedUrls() {
        PageArchive archive;
        EXPECT_TRUE(archive.Open(PageArchive::LocationFor(file), false)) << archive.Error();
        EXPECT_EQ(archive.Verify(), "");
        std::set<std::string> urls;
        for (int i = 0; i < 4; ++i)
            if (archive.Get(Page(i)))
                urls.insert(Page(i));
        return urls;
    }
    // The names of the bookmarks `search` lists for the word every page holds, sorted.
    std::string Found() {
        const testutil::ProgramRun run = Cli({"search", file, "tomato"});
        EXPECT_EQ(run.code, 0) << run.err;
        std::set<std::string> names;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t name = line.find('\t') + 1;
            names.insert(line.substr(name, line.find('\t', name) - name));
        }
        std::string all;
        for (const std::string& name : names)
            all += name + " ";
        return all;
    }

    testutil::TempDirectory dir;
    std::string file = dir.File("pages.brx");
    nettest::HttpServer server{[](httplib::Server& s, const std::atomic<bool>&) {
        s.Get(R"(/p/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<title>Page " + req.matches[1].str() + "</title><p>tomato " +
                                req.matches[1].str() + "</p>",
                            "text/html");
        });
    }};
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(ArchivedDocument, ALinkedFileSyncKeepsTheTextsTillTheTrashLetsARemovedBookmarkGo) {
    const std::string linked = dir.File("shared.xbel");
    std::ofstream(linked) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xbel>\n"
                             "<xbel version=\"1.0\">\n</xbel>\n";
    ASSERT_EQ(Cli({"link", file, linked}).code, 0);
    testutil::ProgramRun run = Cli({"sync", file, "--no-backup"});
    ASSERT_EQ(run.code, 0) << run.err;
    // The browser side drops p1.
    std::string xbel = ReadAll(linked);
    const std::size_t href = xbel.find("\"" + Page(1) + "\"");
    ASSERT_NE(href, std::string::npos) << xbel;
    const std::size_t from = xbel.rfind("<bookmark", href);
    const std::size_t to = xbel.find("</bookmark>", href) + std::string("</bookmark>").size();
    xbel.erase(from, to - from);
    std::ofstream(linked, std::ios::binary | std::ios::trunc) << xbel;
    run = Cli({"sync", file, "--no-backup", "--allow-mass-delete"}); // one of three

    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Found(), "p0 p2 ");
    EXPECT_EQ(ArchivedUrls(), (std::set<std::string>{Page(0), Page(1), Page(2)}));

    // Archiving again keeps p1's text while its bookmark is in the trash...
    ASSERT_EQ(Cli({"archive", file, "--older-than", "1d"}).code, 0);
    EXPECT_EQ(ArchivedUrls(), (std::set<std::string>{Page(0), Page(1), Page(2)}));
    // ...and drops it once the trash let the bookmark go.
    Trash trash;
    ASSERT_TRUE(trash.Load(TrashFileFor(file)));
    ASSERT_EQ(trash.DropOlderThan(CBrindleDoc::Now() + 86400), 1u);
    ASSERT_EQ(trash.Save(TrashFileFor(file)), 0);
    ASSERT_EQ(Cli({"archive", file, "--older-than", "1d"}).code, 0);
    EXPECT_EQ(ArchivedUrls(), (std::set<std::string>{Page(0), Page(2)}));
    EXPECT_EQ(Found(), "p0 p2 ");
}

TEST_F(ArchivedDocument, AConflictCopyMergeKeepsTheTexts) {
    // The other machine's copy adds p3.
    CBrindleDoc other;
    ASSERT_TRUE(ReadDocumentFile(other, file).ok);
    ASSERT_TRUE(other.AddBookmark({.name = "p3", .url = Page(3)}));
    ASSERT_TRUE(
        WriteDocumentFile(other, dir.File("pages.sync-conflict-20260101-120000-ABCDEFG.brx")).ok);
    testutil::ProgramRun run = Cli({"sync", file, "--no-backup"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("conflict copy merged"), std::string::npos) << run.out;
    EXPECT_EQ(Found(), "p0 p1 p2 ");
    run = Cli({"archive", file, "--older-than", "1d"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ArchivedUrls(), (std::set<std::string>{Page(0), Page(1), Page(2), Page(3)}));
    EXPECT_EQ(Found(), "p0 p1 p2 p3 ");
}
