// SPDX-License-Identifier: GPL-3.0-or-later
// Several brindle-cli writers at once on one document: each holds the document's lock from
// reading to the end of its save, a writer killed while holding it leaves no lock behind, a
// writer that waits too long gives up without writing, and readers take no lock.

#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

using brindle::DocumentLock;
using ::testing::HasSubstr;
using testutil::ReadFile;
using testutil::TempDirectory;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class CliLock : public ::testing::Test {
  protected:
    TempDirectory dir;
    std::string doc = dir.File("shared.brx");

    void SetUp() override { ASSERT_EQ(Run({"new", doc}).code, 0); }

    testutil::ProgramRun Run(const std::vector<std::string>& args, const std::string& folder = {}) {
        const std::filesystem::path where = folder.empty() ? dir.Path() : dir.Path() / folder;
        std::filesystem::create_directories(where);
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, {"LC_ALL=C"}, where);
    }

    std::set<std::string> Names() {
        CBrindleDoc d;
        EXPECT_TRUE(brindle::ReadDocumentFile(d, doc));
        std::set<std::string> names;
        for (const BookmarkRef b : d.Bookmarks())
            names.emplace(b.m_strName);
        return names;
    }
};

TEST_F(CliLock, TwoLoopsOfAddsAtOnceLoseNothing) {
    // Two shell loops of 100 adds each, as scripts and hot keys run them side by side.
    auto loop = [this](const std::string& prefix) {
        const std::string script = "for i in $(seq 1 100); do \"$0\" add \"$1\" --name " + prefix +
                                   "$i --url http://" + prefix + "/$i || echo failed $i; done";
        return testutil::RunProgram("/bin/sh", {"-c", script, BRINDLE_CLI_PATH, doc}, {},
                                    dir.Path() / prefix);
    };
    std::filesystem::create_directories(dir.Path() / "a");
    std::filesystem::create_directories(dir.Path() / "b");
    testutil::ProgramRun a, b;
    std::thread other([&] { b = loop("b"); });
    a = loop("a");
    other.join();
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.out, "");
    EXPECT_EQ(b.out, "");
    const std::set<std::string> names = Names();
    EXPECT_EQ(names.size(), 200u);
    EXPECT_EQ(names.count("a100") + names.count("b1"), 2u);
}

TEST_F(CliLock, AWriterKilledWhileHoldingTheLockLeavesNoLockBehind) {
    ASSERT_EQ(Run({"add", doc, "--name", "Before", "--url", "http://before/"}).code, 0);
    // A long import: the writer holds the lock for as long as it reads.
    const std::string input = dir.File("big.html");
    {
        std::ofstream out(input);
        out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
        for (int i = 0; i < 300000; ++i)
            out << "<DT><A HREF=\"http://example.com/" << i << "\">Page " << i << "</A>\n";
        out << "</DL><p>\n";
    }
    std::vector<std::string> args = {BRINDLE_CLI_PATH, "import", doc, input};
    std::vector<char*> argv;
    for (std::string& s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, BRINDLE_CLI_PATH, nullptr, nullptr, argv.data(), environ), 0);
    // Wait until the writer holds the lock, then kill it.
    bool held = false;
    for (const auto end = Clock::now() + 10s; Clock::now() < end && !held;) {
        DocumentLock probe;
        held = probe.Acquire(doc, 0ms) == DocumentLock::State::Busy;
        if (!held)
            std::this_thread::sleep_for(1ms);
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(held) << "the import never held the lock";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it was killed";

    const auto start = Clock::now();
    const testutil::ProgramRun after =
        Run({"add", doc, "--name", "After", "--url", "http://after/"});
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_LT(Clock::now() - start, 5s); // no waiting for a lock that is gone
    EXPECT_EQ(Names(), (std::set<std::string>{"After", "Before"}));
}

TEST_F(CliLock, AWriterThatWaitsTenSecondsGivesUpAndReadersDoNotWait) {
    ASSERT_EQ(Run({"add", doc, "--name", "Kept", "--url", "http://kept/", "--no-backup"}).code, 0);
    const std::string before = ReadFile(doc);
    DocumentLock other;
    ASSERT_EQ(other.Acquire(doc), DocumentLock::State::Held);

    auto start = Clock::now();
    const testutil::ProgramRun list = Run({"list", doc});
    EXPECT_EQ(list.code, 0);
    EXPECT_THAT(list.out, HasSubstr("Kept"));
    EXPECT_EQ(Run({"info", doc}).code, 0);
    EXPECT_LT(Clock::now() - start, 5s);

    start = Clock::now();
    const testutil::ProgramRun add = Run({"add", doc, "--name", "Late", "--url", "http://late/"});
    EXPECT_GE(Clock::now() - start, 10s);
    EXPECT_EQ(add.code, 1);
    EXPECT_EQ(add.err, doc + " is being written by another program; nothing was saved.\n");
    EXPECT_EQ(ReadFile(doc), before);
    EXPECT_FALSE(testutil::Exists(dir.File("shared.bak")));
}

} // namespace
