// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing document files: the file-error texts, buffered reading across large
// inputs, damaged and hostile files, failed writes and a writer killed at random moments.

#include "support/ChildProcess.h"
#include "support/FailingDevice.h"
#include "support/RawBookmarks.h"
#include "support/RecordingListener.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/FileErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using testutil::Exists;
using testutil::FailingDevice;
using testutil::ReadFile;
using testutil::TempDirectory;
using testutil::WriteFile;

namespace {

void FillCollection(CBrindleDoc& doc, int count, const std::string& tag = "") {
    std::vector<CBookmark> marks;
    for (int i = 0; i < count; ++i)
        marks.emplace_back(
            "Bookmark " + std::to_string(i) + tag, "http://example.com/" + std::to_string(i),
            "alpha beta gamma", "A description of bookmark " + std::to_string(i), "",
            static_cast<std::uint16_t>(i & 1), kNoSchedule, kStatusWaiting, 933279936 + i, 0, 0, 0);
    testutil::AppendAsRead(doc, marks);
    doc.AddMacro(kMacroUrl, "Home", "http://example.com/", 0);
    doc.AddSchedule("Daily", 115200, false);
}

std::string SampleBytes() {
    CBrindleDoc doc;
    FillCollection(doc, 3);
    doc.SetFieldText(1, kFieldNotes, "caf\xC3\xA9");
    return brindle::DocumentToBytes(doc);
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DocumentFileIo, RoundTripThroughAFile) {
    TempDirectory dir;
    CBrindleDoc doc;
    FillCollection(doc, 5000); // crosses the read buffer many times
    doc.SetFieldText(7, kFieldNotes, std::string(300000, 'n'));   // longer than the buffer
    doc.SetFieldText(8, kFieldNotes, std::string(70000, '\xE9')); // 16-bit form, long
    const std::string path = dir.File("web.brx");
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
    EXPECT_EQ(ReadFile(path), brindle::DocumentToBytes(doc));
    CBrindleDoc back;
    ASSERT_TRUE(brindle::ReadDocumentFile(back, path));
    EXPECT_EQ(brindle::DocumentToBytes(back), brindle::DocumentToBytes(doc));
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"web.brx"});
}

// The hits of a search in result order, every field of each.
std::string SearchedList(CBrindleDoc& doc, int mode, bool partial, const std::string& query,
                         bool matchCase, std::uint8_t fields) {
    doc.SetHitsOnly(true);
    doc.SetSearchMode(mode);
    doc.SetPartialMatch(partial);
    doc.Search(query, matchCase, fields);
    std::string out;
    for (std::uint32_t i : doc.ActiveHits()) {
        for (int f = 0; f < kFieldCount; ++f)
            out += doc.GetFieldText(i, f) + '\t';
        out += '\n';
    }
    return out;
}

TEST(DocumentFileIo, ReadingOnlyASearchsHitsFindsWhatTheWholeReadFinds) {
    TempDirectory dir;
    CBrindleDoc doc;
    // Over a megabyte, so that the records are looked at in several batches; a third of them
    // with texts in the 16-bit form.
    const char* const words[] = {
        "python",           "caf\xC3\xA9", "\xD0\xBF\xD1\x80\xD0\xB8", "\xE6\x97\xA5\xE6\x9C\xAC",
        "\xF0\x9F\x98\x80", "rust"};
    std::vector<CBookmark> marks;
    for (int i = 0; i < 12000; ++i) {
        const std::string a = words[i % 6], b = words[(i / 6) % 6];
        marks.emplace_back("Title " + a + " " + std::to_string(i % 97),
                           "http://example.com/" + b + "/" + std::to_string(i), a + " " + b,
                           "Description " + std::string(i % 120, 'd'), i % 3 ? "" : "Notes " + b, 0,
                           kNoSchedule, kStatusWaiting, 933279936 + i % 500, 0, 0, 0);
    }
    testutil::AppendAsRead(doc, marks);
    doc.SetFieldText(7, kFieldNotes, std::string(300000, 'n'));            // longer than the buffer
    doc.SetFieldText(9, kFieldNotes, "python " + std::string(70000, 'n')); // a hit, as long
    const std::string path = dir.File("web.brx");
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));

    struct Case {
        int mode;
        bool partial;
        std::string query;
        bool matchCase;
        std::uint8_t fields;
    };
    const Case cases[] = {{kSearchKeyword, true, "python", false, kSearchAllFields},
                          {kSearchKeyword, true, "Pyth", false, kSearchAllFields},
                          {kSearchKeyword, false, "pyth", false, kSearchAllFields},
                          {kSearchKeyword, true, "rust | caf\xC3\xA9 ! python", false, 0},
                          {kSearchKeyword, true, "\xD0\xBF\xD1\x80\xD0\xB8. rust", false, 0},
                          {kSearchKeyword, true, "nothing", false, 0},
                          {kSearchString, true, "\xD0\x9F\xD0\xA0\xD0\x98", false, 1},
                          {kSearchString, true, "Title", true, kSearchAllFields},
                          {kSearchString, true, "python", false, 16},
                          {kSearchString, true, "\xF0\x9F\x98\x80", false, 2},
                          {kSearchString, true, "e", false, 0}};
    CBrindleDoc whole;
    ASSERT_TRUE(brindle::ReadDocumentFile(whole, path));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const std::string expected =
            SearchedList(whole, c.mode, c.partial, c.query, c.matchCase, c.fields);
        CBrindleDoc hits;
        hits.SetSearchMode(c.mode);
        hits.SetPartialMatch(c.partial);
        const auto filter = hits.SearchFilter(c.query, c.matchCase, c.fields);
        ASSERT_TRUE(filter);
        ASSERT_TRUE(brindle::ReadDocumentFile(hits, path, &*filter));
        EXPECT_EQ(hits.Bookmarks().size(), whole.ActiveHits().size());
        EXPECT_EQ(SearchedList(hits, c.mode, c.partial, c.query, c.matchCase, c.fields), expected);
    }
}

TEST(DocumentFileIo, FileErrorTexts) {
    TempDirectory dir;
    CBrindleDoc doc;
    const std::string missing = dir.File("missing.brx");
    EXPECT_EQ(brindle::ReadDocumentFile(doc, missing).message, missing + " was not found.");
    const std::string badPath = dir.File("no-folder/web.brx");
    EXPECT_EQ(brindle::ReadDocumentFile(doc, badPath).message,
              badPath + " contains an invalid path.");
    EXPECT_EQ(brindle::WriteDocumentFile(doc, badPath).message,
              badPath + " contains an invalid path.");
    const std::string folder = dir.File("folder.brx");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(brindle::ReadDocumentFile(doc, folder).message,
              "Access to " + folder + " was denied.");
    EXPECT_EQ(brindle::WriteDocumentFile(doc, folder).message,
              "Access to " + folder + " was denied.");
    EXPECT_EQ(brindle::WriteDocumentFile(doc, "").message, "Invalid filename.");
    const std::string empty = dir.File("empty.brx");
    WriteFile(empty, "");
    EXPECT_EQ(brindle::ReadDocumentFile(doc, empty).message, "Unexpected file format.");
}

TEST(DocumentFileIo, DeviceThatFailsEveryWriteIsWrittenInPlace) {
    if (!Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    CBrindleDoc doc;
    FillCollection(doc, 10);
    const brindle::ArchiveResult r = brindle::WriteDocumentFile(doc, "/dev/full");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Disk full while accessing /dev/full.");
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)); // never replaced by a file
    EXPECT_EQ(brindle::ReadDocumentFile(doc, "/dev/null").message, "Unexpected file format.");
}

TEST(DocumentFileIo, PipeWithoutWriterDoesNotHangTheOpen) {
    TempDirectory dir;
    const std::string fifo = dir.File("pipe.brx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CBrindleDoc doc;
    EXPECT_EQ(brindle::ReadDocumentFile(doc, fifo).message, "Unexpected file format.");
}

TEST(DocumentFileIo, ModeOfAnExistingFileIsKept) {
    TempDirectory dir;
    const std::string path = dir.File("web.brx");
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0640);
    CBrindleDoc doc;
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(DocumentFileIo, WritingThroughASymbolicLinkReplacesItsTarget) {
    TempDirectory dir;
    const std::string target = dir.File("real.brx");
    const std::string link = dir.File("link.brx");
    WriteFile(target, "old");
    std::filesystem::create_symlink(target, link);
    CBrindleDoc doc;
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target).size(), 33u);
}

TEST(DocumentFileIo, FileTruncatedAtEveryOffsetFailsCleanly) {
    TempDirectory dir;
    const std::string bytes = SampleBytes();
    const std::string path = dir.File("cut.brx");
    RecordingListener views;
    CBrindleDoc doc;
    doc.AddListener(&views);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        WriteFile(path, std::string_view(bytes).substr(0, n));
        ASSERT_TRUE(doc.AddBookmark({.name = "x", .url = "y", .statusChecking = 1}));
        views.Clear();
        const brindle::ArchiveResult r = brindle::OpenDocumentFile(doc, path);
        ASSERT_FALSE(r.ok) << n;
        ASSERT_EQ(r.message, "Unexpected file format.") << n;
        ASSERT_TRUE(doc.Bookmarks().empty());
        ASSERT_TRUE(doc.Macros().empty());
        ASSERT_FALSE(doc.IsModified());
        ASSERT_EQ(views.calls, std::vector<std::string>{"rebuild"});
    }
    WriteFile(path, bytes);
    ASSERT_TRUE(brindle::OpenDocumentFile(doc, path));
    EXPECT_EQ(doc.Bookmarks().size(), 3u);
    doc.RemoveListener(&views);
}

TEST(DocumentFileIo, RandomByteFlipsNeverCrash) {
    const std::string original = SampleBytes();
    std::mt19937 rng(20240601);
    int opened = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = original;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f)
            bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
        CBrindleDoc doc;
        const brindle::ArchiveResult r = brindle::ReadDocumentBytes(doc, bytes);
        if (!r) {
            ASSERT_EQ(r.message, "Unexpected file format.");
            continue;
        }
        ++opened;
        // Whatever opened writes and reads back to the same bytes.
        const std::string again = brindle::DocumentToBytes(doc);
        CBrindleDoc back;
        ASSERT_TRUE(brindle::ReadDocumentBytes(back, again));
        ASSERT_EQ(brindle::DocumentToBytes(back), again);
    }
    EXPECT_GT(opened, 0);
}

TEST(DocumentFileIo, HundredMegabytesOfGarbageEndQuickly) {
    TempDirectory dir;
    const std::string path = dir.File("garbage.brx");
    {
        std::mt19937_64 rng(7);
        std::string chunk(1 << 20, '\0');
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int mb = 0; mb < 100; ++mb) {
            for (std::size_t i = 0; i < chunk.size(); i += 8) {
                const std::uint64_t v = rng();
                std::memcpy(&chunk[i], &v, 8);
            }
            ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), f), chunk.size());
        }
        std::fclose(f);
    }
    CBrindleDoc doc;
    const auto start = std::chrono::steady_clock::now();
    const brindle::ArchiveResult r = brindle::ReadDocumentFile(doc, path);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Unexpected file format.");
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(DocumentFileIo, FailingDeviceLeavesThePreviousFileAndReportsTheError) {
    TempDirectory dir;
    const std::string path = dir.File("web.brx");
    WriteFile(path, "previous contents");
    CBrindleDoc doc;
    FillCollection(doc, 2000);
    for (std::size_t budget : {std::size_t{0}, std::size_t{10}, std::size_t{100000}}) {
        const brindle::ArchiveResult r =
            brindle::WriteDocumentFile(doc, path, FailingDevice(budget, ENOSPC));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "Disk full while accessing " + path + ".");
        EXPECT_EQ(ReadFile(path), "previous contents");
        EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"web.brx"});
    }
    const brindle::ArchiveResult io = brindle::WriteDocumentFile(doc, path, FailingDevice(5, EIO));
    EXPECT_EQ(io.message, "Failed to save document.");
    EXPECT_EQ(ReadFile(path), "previous contents");
}

TEST(DocumentFileIo, FileSizeLimitOfTheSystemIsReportedAsDiskFull) {
    TempDirectory dir;
    const std::string path = dir.File("web.brx");
    WriteFile(path, "previous contents");
    CBrindleDoc doc;
    FillCollection(doc, 2000);
    const testutil::ChildResult child = testutil::RunInChild([&](int fd) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            4096, 4096
        };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
        const brindle::ArchiveResult r = brindle::WriteDocumentFile(doc, path);
        testutil::WriteAll(fd, r.message);
        return r.ok ? 1 : 0;
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, "Disk full while accessing " + path + ".");
    EXPECT_EQ(ReadFile(path), "previous contents");
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"web.brx"});
}

TEST(DocumentFileIo, ReadOnlyFolderLeavesThePreviousFile) {
    TempDirectory dir;
    const std::filesystem::path folder = dir.Path() / "locked";
    std::filesystem::create_directory(folder);
    const std::string path = (folder / "web.brx").string();
    WriteFile(path, "previous contents");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    CBrindleDoc doc;
    const testutil::ChildResult child = testutil::RunInChild([&](int fd) {
        if (!testutil::DropPrivileges())
            return testutil::kChildCannotDropPrivileges;
        const brindle::ArchiveResult r = brindle::WriteDocumentFile(doc, path);
        testutil::WriteAll(fd, r.message);
        return r.ok ? 1 : 0;
    });
    ::chmod(folder.c_str(), 0755);
    if (child.exitCode == testutil::kChildCannotDropPrivileges)
        GTEST_SKIP() << "cannot leave the root user here";
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, "Access to " + path + " was denied.");
    EXPECT_EQ(ReadFile(path), "previous contents");
}

TEST(DocumentFileIo, WriterKilledAtRandomMomentsAlwaysLeavesACompleteFile) {
    TempDirectory dir;
    const std::string path = dir.File("big.brx");
    CBrindleDoc first;
    FillCollection(first, 10000, "a");
    CBrindleDoc second;
    FillCollection(second, 10000, "b");
    const std::string bytesA = brindle::DocumentToBytes(first);
    const std::string bytesB = brindle::DocumentToBytes(second);
    ASSERT_TRUE(brindle::WriteDocumentFile(first, path));

    std::mt19937 rng(99);
    int sawA = 0;
    int sawB = 0;
    for (int round = 0; round < 50; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (unsigned i = 0;; ++i)
                if (!brindle::WriteDocumentFile(i % 2 ? first : second, path))
                    ::_exit(3);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + rng() % 60000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own";

        const std::string bytes = ReadFile(path);
        ASSERT_TRUE(bytes == bytesA || bytes == bytesB) << "round " << round;
        (bytes == bytesA ? sawA : sawB)++;
        CBrindleDoc back;
        ASSERT_TRUE(brindle::ReadDocumentFile(back, path));
        ASSERT_EQ(back.Bookmarks().size(), 10000u);
    }
    RecordProperty("versions_seen", std::to_string(sawA) + "/" + std::to_string(sawB));
}

// The same at a million bookmarks (about 100 MB a file), fewer times: a kill while the file is
// being written, synced or renamed leaves one of the two complete versions.
TEST(DocumentFileIo, MillionBookmarkWriterKilledDuringSaveLeavesACompleteFile) {
    TempDirectory dir;
    const std::string path = dir.File("million.brx");
    auto fill = [](CBrindleDoc& doc, const std::string& tag) {
        brindle::BookmarkList list;
        list.reserve(1000000);
        std::string name;
        for (int i = 0; i < 1000000; ++i) {
            name = "Bookmark " + std::to_string(i) + tag;
            list.push_back(BookmarkRef{.m_strName = name,
                                       .m_strURL = "http://example.com/",
                                       .m_strKeywords = "alpha beta",
                                       .m_strDescription = tag,
                                       .m_strSchedule = kNoSchedule,
                                       .m_strStatus = kStatusWaiting,
                                       .m_tAddDate = 933279936 + i});
        }
        doc.ReplaceBookmarks(std::move(list));
    };
    CBrindleDoc first;
    fill(first, "a");
    CBrindleDoc second;
    fill(second, "b");
    ASSERT_TRUE(brindle::WriteDocumentFile(first, path));
    const std::string bytesA = ReadFile(path);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(brindle::WriteDocumentFile(second, path));
    const auto saveMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    const std::string bytesB = ReadFile(path);
    ASSERT_NE(bytesA, bytesB);

    std::mt19937 rng(7);
    for (int round = 0; round < 4; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (unsigned i = 0;; ++i)
                if (!brindle::WriteDocumentFile(i % 2 ? first : second, path))
                    ::_exit(3);
        }
        // Somewhere inside the first two saves.
        std::this_thread::sleep_for(std::chrono::milliseconds(
            20 + static_cast<long>(rng() % static_cast<unsigned>(2 * saveMs + 1))));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own";
        const std::string bytes = ReadFile(path);
        ASSERT_TRUE(bytes == bytesA || bytes == bytesB) << "round " << round;
        CBrindleDoc back;
        ASSERT_TRUE(brindle::ReadDocumentFile(back, path));
        ASSERT_EQ(back.Bookmarks().size(), 1000000u);
    }
}

} // namespace
