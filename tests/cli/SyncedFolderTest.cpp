// SPDX-License-Identifier: GPL-3.0-or-later
// Two machines sharing a document through a synced folder: two Syncthing daemons with homes and
// ports of their own, on 127.0.0.1 only (no discovery, relays, NAT or global announcements),
// share one folder. Each side edits the document with brindle-cli while the other is stopped;
// when both run again Syncthing leaves a conflict copy, which one side merges. Both sides then
// hold every addition, and nothing either side deleted comes back.

#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/ConflictCopies.h"
#include "store/DocumentArchive.h"
#include "store/Trash.h"
#include "store/VersionHistory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using ::testing::UnorderedElementsAre;
using testutil::TempDirectory;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kSyncthing = "/usr/bin/syncthing";

int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(s);
        return 0;
    }
    ::close(s);
    return ntohs(a.sin_port);
}

// One machine: a Syncthing home, the shared folder, and its own XDG state and data folders.
struct Side {
    std::string name;
    fs::path root;
    fs::path home, folder, state, data;
    std::string id;
    int port = 0;
    pid_t pid = -1;

    Side(std::string n, const fs::path& r)
        : name(std::move(n)), root(r / name), home(root / "home"), folder(root / "folder"),
          state(root / "state"), data(root / "data") {
        fs::create_directories(folder);
    }
    std::string Document() const { return (folder / "web.brx").string(); }
    std::vector<std::string> Env() const {
        return {"XDG_STATE_HOME=" + state.string(), "XDG_DATA_HOME=" + data.string(), "TZ=UTC",
                "LC_ALL=C"};
    }
};

std::string DeviceId(const fs::path& home) {
    const testutil::ProgramRun run =
        testutil::RunProgram(kSyncthing, {"--home=" + home.string(), "--device-id"}, {}, home);
    std::string id = run.out;
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r'))
        id.pop_back();
    return id;
}

void WriteConfig(const Side& self, const Side& peer) {
    std::ofstream out(self.home / "config.xml");
    auto device = [](const Side& s) {
        return "  <device id=\"" + s.id + "\" name=\"" + s.name +
               "\" compression=\"metadata\">\n    <address>tcp://127.0.0.1:" +
               std::to_string(s.port) + "</address>\n  </device>\n";
    };
    out << "<configuration version=\"36\">\n"
        << "  <folder id=\"bookmarks\" label=\"bookmarks\" path=\"" << self.folder.string()
        << "\" type=\"sendreceive\" rescanIntervalS=\"1\" fsWatcherEnabled=\"false\">\n"
        << "    <device id=\"" << self.id << "\"></device>\n"
        << "    <device id=\"" << peer.id << "\"></device>\n"
        << "    <minDiskFree unit=\"%\">0</minDiskFree>\n"
        << "    <maxConflicts>10</maxConflicts>\n"
        << "  </folder>\n"
        << device(self) << device(peer) << "  <gui enabled=\"false\"></gui>\n"
        << "  <options>\n"
        << "    <listenAddress>tcp://127.0.0.1:" << self.port << "</listenAddress>\n"
        << "    <globalAnnounceEnabled>false</globalAnnounceEnabled>\n"
        << "    <localAnnounceEnabled>false</localAnnounceEnabled>\n"
        << "    <relaysEnabled>false</relaysEnabled>\n"
        << "    <natEnabled>false</natEnabled>\n"
        << "    <startBrowser>false</startBrowser>\n"
        << "    <urAccepted>-1</urAccepted>\n"
        << "    <autoUpgradeIntervalH>0</autoUpgradeIntervalH>\n"
        << "    <crashReportingEnabled>false</crashReportingEnabled>\n"
        << "    <reconnectionIntervalS>1</reconnectionIntervalS>\n"
        << "    <minHomeDiskFree unit=\"%\">0</minHomeDiskFree>\n"
        << "  </options>\n"
        << "</configuration>\n";
}

void Start(Side& s) {
    std::vector<std::string> args = {kSyncthing,
                                     "serve",
                                     "--home=" + s.home.string(),
                                     "--no-browser",
                                     "--no-restart",
                                     "--no-upgrade",
                                     "--logfile=" + (s.root / "syncthing.log").string()};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its console output joins the log.
    const std::string log = (s.root / "console.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = ::posix_spawn(&s.pid, kSyncthing, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
}

void Stop(Side& s) {
    if (s.pid <= 0)
        return;
    ::kill(s.pid, SIGTERM);
    ::waitpid(s.pid, nullptr, 0);
    s.pid = -1;
}

template <typename Condition> bool WaitFor(Condition done, std::chrono::seconds limit = 90s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(200ms);
    }
    return done();
}

std::vector<std::string> Names(const std::string& path) {
    CBrindleDoc doc;
    std::vector<std::string> names;
    if (!brindle::ReadDocumentFile(doc, path))
        return names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace_back(b.m_strName);
    return names;
}

bool SameFile(const std::string& a, const std::string& b) {
    return fs::exists(a) && fs::exists(b) && brindle::VersionHistory::SameContent(a, b);
}

class SyncedFolder : public ::testing::Test {
  protected:
    TempDirectory dir;
    Side a{"a", dir.Path()};
    Side b{"b", dir.Path()};

    void SetUp() override {
        if (::access(kSyncthing, X_OK) != 0)
            GTEST_SKIP() << "syncthing is not installed (Debian package syncthing)";
        for (Side* s : {&a, &b}) {
            ASSERT_EQ(testutil::RunProgram(
                          kSyncthing,
                          {"generate", "--home=" + s->home.string(), "--no-default-folder"}, {},
                          dir.Path())
                          .code,
                      0);
            s->id = DeviceId(s->home);
            s->port = FreeLoopbackPort();
            ASSERT_FALSE(s->id.empty());
            ASSERT_NE(s->port, 0);
        }
        WriteConfig(a, b);
        WriteConfig(b, a);
    }
    void TearDown() override {
        Stop(a);
        Stop(b);
    }

    void Cli(const Side& s, const std::vector<std::string>& args) {
        const testutil::ProgramRun run =
            testutil::RunProgram(BRINDLE_CLI_PATH, args, s.Env(), s.root);
        ASSERT_EQ(run.code, 0) << args[0] << ": " << run.err;
    }
    void Add(const Side& s, const std::string& name) {
        Cli(s,
            {"add", s.Document(), "--name", name, "--url", "http://" + name + "/", "--no-backup"});
    }

    // Syncthing has seen the file as it is now (a rescan runs every second).
    static void LetItScan() { std::this_thread::sleep_for(3s); }

    // Runs the merge on `side` as its brindle-cli would: this machine's state and trash.
    brindle::ConflictCopyReport MergeOn(const Side& side) {
        ::setenv("XDG_STATE_HOME", side.state.c_str(), 1);
        ::setenv("XDG_DATA_HOME", side.data.c_str(), 1);
        const std::string path = side.Document();
        CBrindleDoc doc;
        EXPECT_TRUE(brindle::ReadDocumentFile(doc, path));
        return brindle::MergeConflictCopies(doc, path, [&] {
            return brindle::WriteDocumentFile(doc, path).ok &&
                   brindle::CommitTrash(doc, path) == 0 &&
                   brindle::VersionHistory(path).RecordFile(path) == 0;
        });
    }

    void Run(bool mergeOnA) {
        Start(a);
        Start(b);
        Cli(a, {"new", a.Document()});
        for (const char* name : {"Keep", "Old1", "Old2", "Shared"})
            Add(a, name);
        ASSERT_TRUE(WaitFor([&] { return SameFile(a.Document(), b.Document()); }))
            << "the document never reached the second machine";
        // Each side edits while the other is stopped; each deletes a bookmark the other keeps.
        LetItScan();
        Stop(b);
        Add(a, "FromA");
        Cli(a, {"trash", a.Document(), "--delete", "Old1", "--no-backup"});
        LetItScan();
        Stop(a);
        Start(b);
        Add(b, "FromB");
        Cli(b, {"trash", b.Document(), "--delete", "Old2", "--no-backup"});
        LetItScan();
        Start(a);
        const Side& merger = mergeOnA ? a : b;
        ASSERT_TRUE(WaitFor([&] {
            return !brindle::FindConflictCopies(a.Document()).empty() &&
                   !brindle::FindConflictCopies(b.Document()).empty() &&
                   SameFile(a.Document(), b.Document());
        })) << "Syncthing made no conflict copy on both sides";
        const brindle::ConflictCopyReport report = MergeOn(merger);
        ASSERT_EQ(report.merged.size(), 1u);
        EXPECT_TRUE(report.notMoved.empty());
        EXPECT_THAT(Names(merger.Document()),
                    UnorderedElementsAre("Keep", "Shared", "FromA", "FromB"));
        // The merged document and the copy's removal reach the other side.
        ASSERT_TRUE(WaitFor([&] {
            return SameFile(a.Document(), b.Document()) &&
                   brindle::FindConflictCopies(a.Document()).empty() &&
                   brindle::FindConflictCopies(b.Document()).empty();
        })) << "the merge never reached the other machine";
        for (const Side* s : {&a, &b})
            EXPECT_THAT(Names(s->Document()),
                        UnorderedElementsAre("Keep", "Shared", "FromA", "FromB"))
                << s->name;
    }
};

TEST_F(SyncedFolder, ConflictCopyMergedOnTheFirstMachine) {
    Run(true);
}

TEST_F(SyncedFolder, ConflictCopyMergedOnTheSecondMachine) {
    Run(false);
}

} // namespace
