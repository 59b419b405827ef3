// SPDX-License-Identifier: GPL-3.0-or-later
// The document's lock, and the window's document kept in step with a file that other programs
// write: reload, merge while modified, merge on Save and AutoSave, the lock around saves.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"
#include "store/DocumentSync.h"
#include "store/FileCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using brindle::DocumentLock;
using brindle::DocumentSync;
using brindle::FileCommands;
using brindle::SyncOutcome;
using brindle::SyncResult;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;
using testutil::FindByName;
using testutil::ReadFile;
using testutil::TempDirectory;

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Names(const CBrindleDoc& doc) {
    std::vector<std::string> names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace_back(b.m_strName);
    return names;
}

std::vector<std::string> NamesInFile(const std::string& path) {
    CBrindleDoc doc;
    EXPECT_TRUE(brindle::ReadDocumentFile(doc, path));
    return Names(doc);
}

void AddTo(CBrindleDoc& doc, const std::string& name) {
    doc.AddBookmark({.name = name, .url = "http://" + name + "/", .statusChecking = 1});
}

// Another program's write: under the lock, read, change, save.
template <typename Change> void WriteElsewhere(const std::string& path, Change change) {
    DocumentLock lock;
    ASSERT_EQ(lock.Acquire(path), DocumentLock::State::Held);
    CBrindleDoc doc;
    ASSERT_TRUE(brindle::ReadDocumentFile(doc, path));
    change(doc);
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
}

std::uint32_t IndexOf(const CBrindleDoc& doc, std::string_view name) {
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
        if (doc.Bookmarks()[i].m_strName == name)
            return i;
    ADD_FAILURE() << "no bookmark " << name;
    return 0;
}

// --- The lock ------------------------------------------------------------------------------

TEST(DocumentLock, OneHolderAtATimeAndTheLockFileIsHiddenBesideTheDocument) {
    TempDirectory dir;
    const std::string path = dir.File("web.brx");
    EXPECT_EQ(DocumentLock::LockPath(path), dir.File(".web.brx.lock"));
    DocumentLock first, second;
    EXPECT_EQ(first.Acquire(path), DocumentLock::State::Held);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(second.Acquire(path, 150ms), DocumentLock::State::Busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.Acquire(path, 0ms), DocumentLock::State::Held);

    // Another name of the same document (a symbolic link) shares the lock.
    std::filesystem::create_symlink(path, dir.File("link.brx"));
    testutil::WriteFile(path, "x");
    DocumentLock viaLink;
    EXPECT_EQ(viaLink.Acquire(dir.File("link.brx"), 0ms), DocumentLock::State::Busy);
}

TEST(DocumentLock, AHolderThatIsKilledLeavesNoLockBehind) {
    TempDirectory dir;
    const std::string path = dir.File("web.brx");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        DocumentLock lock;
        const char held = lock.Acquire(path) == DocumentLock::State::Held ? 'y' : 'n';
        (void)::write(ready[1], &held, 1);
        ::pause();
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');
    DocumentLock lock;
    EXPECT_EQ(lock.Acquire(path, 0ms), DocumentLock::State::Busy);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(lock.Acquire(path, 2000ms), DocumentLock::State::Held);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(DocumentLock, AFolderWithoutRoomForTheLockFileIsReported) {
    EXPECT_EQ(DocumentLock().Acquire("/nonexistent-folder/web.brx", 0ms),
              DocumentLock::State::Unlockable);
}

// --- The window's document and its file ----------------------------------------------------

class Sync : public ::testing::Test {
  protected:
    TempDirectory dir;
    std::string path = dir.File("web.brx");
    CPreferences prefs;
    CBrindleDoc doc{prefs};
    DocumentSync sync{doc};
    std::vector<std::string> errors;
    std::vector<SyncResult> told;
    std::unique_ptr<FileCommands> files;
    std::optional<std::string> saveAsAnswer;

    void SetUp() override {
        prefs.m_bBackup = 1;
        prefs.m_bAutoSave = 1;
        {
            CBrindleDoc start;
            AddTo(start, "A");
            AddTo(start, "B");
            ASSERT_TRUE(brindle::WriteDocumentFile(start, path));
        }
        brindle::FileCommandCallbacks ui;
        ui.showError = [this](const std::string& m) { errors.push_back(m); };
        ui.chooseSavePath = [this](const brindle::FileDialogRequest&) { return saveAsAnswer; };
        files = std::make_unique<FileCommands>(doc, std::move(ui));
        files->SetSync(&sync);
        sync.SetListener([this](const SyncResult& r) { told.push_back(r); });
        ASSERT_TRUE(files->OpenPath(path, false));
        ASSERT_EQ(sync.Path(), path);
    }
};

TEST_F(Sync, AnUnmodifiedDocumentIsReadAgainKeepingItsViewState) {
    doc.SetSortOrder(kFieldURL, false);
    doc.Search("", false, 0);
    int wrapped = 0;
    sync.SetChangeWrapper([&](const std::function<void()>& change) {
        ++wrapped;
        change();
    });
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged);
    WriteElsewhere(path, [](CBrindleDoc& d) {
        AddTo(d, "X");
        d.SetSortOrder(kFieldName, d.SortAscending() != 0);
    });
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Reloaded);
    EXPECT_EQ(wrapped, 1);
    EXPECT_THAT(Names(doc), ElementsAre("A", "B", "X"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.SortColumn(), kFieldURL);
    EXPECT_EQ(doc.SortAscending(), 0);
    ASSERT_EQ(doc.ActiveHits().size(), 3u); // searched again, in the window's order
    EXPECT_EQ(doc.Bookmarks()[doc.ActiveHits()[0]].m_strName, "X");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].outcome, SyncOutcome::Reloaded);
    // Nothing new on disk: nothing happens.
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged);
}

TEST_F(Sync, TheSameBytesWrittenAgainAreNoChange) {
    const std::string bytes = ReadFile(path);
    std::this_thread::sleep_for(10ms);
    ASSERT_EQ(brindle::WriteFileAtomically(path, bytes), 0); // a new file, the old content
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged);
    EXPECT_TRUE(told.empty());
}

TEST_F(Sync, AModifiedDocumentMergesOutsideChangesAndStaysModified) {
    doc.DeleteBookmark(IndexOf(doc, "A"));
    WriteElsewhere(path, [](CBrindleDoc& d) { AddTo(d, "X"); });
    const SyncResult r = sync.Refresh();
    EXPECT_EQ(r.outcome, SyncOutcome::Merged);
    EXPECT_EQ(r.merge.added, 1u);
    EXPECT_THAT(Names(doc), ElementsAre("B", "X"));
    EXPECT_TRUE(doc.IsModified());
    // The file is now the common base: saving writes without merging again.
    ASSERT_TRUE(files->Save());
    EXPECT_THAT(NamesInFile(path), ElementsAre("B", "X"));
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged);
}

TEST_F(Sync, SaveMergesWhatAnotherProgramWroteMeanwhile) {
    WriteElsewhere(path, [](CBrindleDoc& d) { AddTo(d, "X"); });
    doc.DeleteBookmark(IndexOf(doc, "B"));
    ASSERT_TRUE(files->Save());
    EXPECT_THAT(NamesInFile(path), ElementsAre("A", "X"));
    EXPECT_THAT(Names(doc), ElementsAre("A", "X"));
    EXPECT_FALSE(doc.IsModified());
    // The backups hold the merged document too.
    EXPECT_EQ(ReadFile(dir.File("web.bak")), ReadFile(path));
    EXPECT_EQ(ReadFile(dir.File("web.bk0")), ReadFile(path));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].outcome, SyncOutcome::Merged);
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged); // our own save
}

TEST_F(Sync, AutoSaveMergesAndConflictsKeepTheWindowsValue) {
    WriteElsewhere(path, [](CBrindleDoc& d) {
        d.SetFieldText(IndexOf(d, "A"), kFieldDescription, "theirs");
        d.SetFieldText(IndexOf(d, "B"), kFieldStatus, "OK");
    });
    doc.SetFieldText(IndexOf(doc, "A"), kFieldDescription, "ours");
    ASSERT_TRUE(files->AutoSave());
    CBrindleDoc saved;
    ASSERT_TRUE(brindle::ReadDocumentFile(saved, path));
    EXPECT_EQ(FindByName(saved, "A")->m_strDescription, "ours");
    EXPECT_THAT(std::string(FindByName(saved, "A")->m_strNotes),
                HasSubstr(std::string(brindle::kMergeConflictMarker) + " Description: theirs"));
    EXPECT_EQ(FindByName(saved, "B")->m_strStatus, "OK");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].merge.conflicts, 1u);
    EXPECT_EQ(ReadFile(dir.File("web.bak")), ReadFile(path));
}

TEST_F(Sync, ASaveWaitsForAnotherWritersLockAndGivesUpWithoutWriting) {
    doc.DeleteBookmark(IndexOf(doc, "B"));
    const std::string before = ReadFile(path);
    DocumentLock other;
    ASSERT_EQ(other.Acquire(path), DocumentLock::State::Held);
    sync.SetLockWait(100ms);
    EXPECT_FALSE(files->Save());
    EXPECT_THAT(errors, ElementsAre("web.brx is being written by another program; nothing was "
                                    "saved."));
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(doc.IsModified());
    other.Release();
    EXPECT_TRUE(files->Save());
    EXPECT_THAT(NamesInFile(path), ElementsAre("A"));
}

TEST_F(Sync, AFileThatIsNoDocumentYetIsLeftForTheNextChange) {
    testutil::WriteFile(path, "half a file");
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unreadable);
    EXPECT_THAT(Names(doc), ElementsAre("A", "B"));
    {
        CBrindleDoc full;
        AddTo(full, "C");
        ASSERT_TRUE(brindle::WriteDocumentFile(full, path));
    }
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Reloaded);
    EXPECT_THAT(Names(doc), ElementsAre("C"));
}

TEST_F(Sync, SaveAsFollowsTheNewFileAndNewFollowsNone) {
    const std::string other = dir.File("other.brx");
    saveAsAnswer = other;
    ASSERT_TRUE(files->SaveAs());
    EXPECT_EQ(sync.Path(), other);
    WriteElsewhere(other, [](CBrindleDoc& d) { AddTo(d, "X"); });
    WriteElsewhere(path, [](CBrindleDoc& d) { AddTo(d, "Y"); });
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Reloaded);
    EXPECT_THAT(Names(doc), ElementsAre("A", "B", "X"));
    ASSERT_TRUE(files->New());
    EXPECT_EQ(sync.Path(), "");
    WriteElsewhere(other, [](CBrindleDoc& d) { AddTo(d, "Z"); });
    EXPECT_EQ(sync.Refresh().outcome, SyncOutcome::Unchanged);
    EXPECT_TRUE(doc.Bookmarks().empty());
}

TEST_F(Sync, NoSequenceOfSavesAndOutsideWritesLosesAChange) {
    // Random interleavings of window edits, saves, automatic saves and watcher steps with
    // another program's adds and deletes: in the end the file holds every bookmark either side
    // added and none that either side deleted.
    std::mt19937 rng(7);
    std::set<std::string> expected = {"A", "B"};
    int added = 0;
    auto pick = [&](const CBrindleDoc& d) -> std::string {
        if (d.Bookmarks().empty())
            return {};
        return std::string(d.Bookmarks()[rng() % d.Bookmarks().size()].m_strName);
    };
    for (int step = 0; step < 400; ++step) {
        switch (rng() % 7) {
        case 0: {
            const std::string name = "w" + std::to_string(++added);
            AddTo(doc, name);
            expected.insert(name);
            break;
        }
        case 1:
            if (const std::string name = pick(doc); !name.empty()) {
                doc.DeleteBookmark(IndexOf(doc, name));
                expected.erase(name);
            }
            break;
        case 2: {
            const std::string name = "o" + std::to_string(++added);
            WriteElsewhere(path, [&](CBrindleDoc& d) { AddTo(d, name); });
            expected.insert(name);
            break;
        }
        case 3:
            WriteElsewhere(path, [&](CBrindleDoc& d) {
                if (const std::string name = pick(d); !name.empty()) {
                    d.DeleteBookmark(IndexOf(d, name));
                    expected.erase(name);
                }
            });
            break;
        case 4:
            ASSERT_TRUE(files->Save());
            break;
        case 5:
            ASSERT_TRUE(files->AutoSave());
            break;
        case 6:
            sync.Refresh();
            break;
        }
    }
    ASSERT_TRUE(files->Save());
    const std::vector<std::string> names = NamesInFile(path);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size());
    EXPECT_TRUE(errors.empty());
}

} // namespace
