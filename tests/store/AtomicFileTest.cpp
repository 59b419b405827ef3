// SPDX-License-Identifier: GPL-3.0-or-later
// The one way files are written: a temporary file beside the target, synced and renamed over
// it, behind a buffered front for writers that stream. Failures leave the old file.

#include "support/FailingDevice.h"
#include "support/TestFiles.h"

#include "store/AtomicFile.h"
#include "store/DocumentLock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using brindle::BufferedAtomicFile;
using testutil::FailingDevice;
using testutil::ReadFile;
using testutil::TempDirectory;
using testutil::WriteFile;
namespace fs = std::filesystem;

namespace {

std::size_t EntriesIn(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Many records of a few dozen bytes, several megabytes in all, as an export writes them.
std::string StreamRecords(BufferedAtomicFile& file, int count) {
    std::string expected;
    for (int i = 0; i < count; ++i) {
        const std::string record =
            "<DT><A HREF=\"http://example.com/" + std::to_string(i) + "\">\r\n";
        file.Buffer() += record;
        expected += record;
        file.Flush();
    }
    return expected;
}

TEST(BufferedAtomicFile, StreamsPiecesAndReplacesTheTargetOnlyAtCommit) {
    TempDirectory dir;
    const std::string path = dir.File("out.htm");
    WriteFile(path, "old");
    BufferedAtomicFile file(path);
    ASSERT_EQ(file.Open(), 0);
    std::string expected = StreamRecords(file, 100000);
    file.Write("direct tail");
    expected += "direct tail";
    file.Buffer() += "buffered tail";
    expected += "buffered tail";
    EXPECT_EQ(ReadFile(path), "old") << "nothing is visible before the commit";
    ASSERT_EQ(file.Commit(), 0);
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "no temporary file is left";
}

TEST(BufferedAtomicFile, AWriteFailingMidWayLeavesTheOldFileAndReportsTheError) {
    TempDirectory dir;
    const std::string path = dir.File("out.htm");
    WriteFile(path, "old");
    // Fails in the first flush, within a later one, and only in what Commit writes.
    for (std::size_t budget :
         {std::size_t{0}, std::size_t{(1 << 20) + 100}, std::size_t{3000000}}) {
        BufferedAtomicFile file(path, FailingDevice(budget, ENOSPC));
        ASSERT_EQ(file.Open(), 0);
        StreamRecords(file, 100000); // about 3.4 MB
        EXPECT_EQ(file.Commit(), ENOSPC) << budget;
        EXPECT_EQ(ReadFile(path), "old") << budget;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << budget;
    }
}

TEST(BufferedAtomicFile, AFileNeverCommittedIsDiscarded) {
    TempDirectory dir;
    const std::string path = dir.File("out.htm");
    WriteFile(path, "old");
    {
        BufferedAtomicFile file(path);
        ASSERT_EQ(file.Open(), 0);
        StreamRecords(file, 50000);
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(WriteFileAtomically, ReplacesInOneStepKeepingLinksAndPermissions) {
    TempDirectory dir;
    const fs::path real = dir.Path() / "real.htm";
    WriteFile(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, dir.Path() / "link.htm");

    ASSERT_EQ(brindle::WriteFileAtomically(dir.File("link.htm"), "new contents"), 0);
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.htm")); // the link still points at the file
    EXPECT_EQ(ReadFile(real), "new contents");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file is left behind.
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST(WriteFileAtomically, FailsWithoutTouchingWhatIsThere) {
    TempDirectory dir;
    fs::create_directories(dir.Path() / "folder.htm");
    EXPECT_EQ(brindle::WriteFileAtomically(dir.File("folder.htm"), "x"), EISDIR);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder.htm"));
    EXPECT_EQ(brindle::WriteFileAtomically(dir.File("missing/out.htm"), "x"), ENOENT);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

} // namespace

TEST(StaleTemporaries, TakingTheLockRemovesOnlyTheDocumentsOldSaveTemporaries) {
    namespace fs = std::filesystem;
    TempDirectory dir;
    const std::string doc = dir.File("web.brx");
    WriteFile(doc, "document");
    const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    // Named as a killed save leaves them, old: removed.
    for (const char* name : {".web.brx.Ab3dE6gH", ".web.brx.00000000"}) {
        WriteFile(dir.File(name), std::string(100, 'x'));
        fs::last_write_time(dir.File(name), twoHoursAgo);
    }
    // Old but not a temporary of this document, or fresh (a save in progress): kept.
    const std::vector<std::string> kept = {".web.brx.lock",      ".web.brx.Ab3dE6g",
                                           ".web.brx.Ab3dE6gH.", "web.brx.Ab3dE6gH",
                                           ".news.brx.Ab3dE6gH", ".web.brx.Ab3-E6gH"};
    for (const std::string& name : kept) {
        WriteFile(dir.File(name), "x");
        fs::last_write_time(dir.File(name), twoHoursAgo);
    }
    WriteFile(dir.File(".web.brx.fresh123"), "x");

    brindle::DocumentLock lock;
    ASSERT_EQ(lock.Acquire(doc), brindle::DocumentLock::State::Held);
    EXPECT_FALSE(fs::exists(dir.File(".web.brx.Ab3dE6gH")));
    EXPECT_FALSE(fs::exists(dir.File(".web.brx.00000000")));
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(dir.File(name))) << name;
    EXPECT_TRUE(fs::exists(dir.File(".web.brx.fresh123")));
    EXPECT_EQ(ReadFile(doc), "document");
}
