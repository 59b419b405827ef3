// SPDX-License-Identifier: GPL-3.0-or-later
// The trash (what deletions, merges and conflict copies remove reaches it at save, an undone
// delete does not, old entries go, restore), the merge bases kept on disk, and the conflict
// copies of synced folders merged against the version both copies started from.

#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/ConflictCopies.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"
#include "store/DocumentSync.h"
#include "store/FileCommands.h"
#include "store/Trash.h"
#include "store/VersionHistory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using brindle::Trash;
using brindle::TrashReason;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testutil::TempDirectory;

namespace {

std::vector<std::string> Names(const CBrindleDoc& doc) {
    std::vector<std::string> names;
    for (const BookmarkRef b : doc.Bookmarks())
        names.emplace_back(b.m_strName);
    return names;
}

std::vector<std::string> NamesIn(const std::string& path) {
    CBrindleDoc doc;
    EXPECT_TRUE(brindle::ReadDocumentFile(doc, path));
    return Names(doc);
}

void AddTo(CBrindleDoc& doc, const std::string& name) {
    doc.AddBookmark({.name = name, .url = "http://" + name + "/", .notes = "about " + name});
}

std::uint32_t IndexOf(const CBrindleDoc& doc, std::string_view name) {
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
        if (doc.Bookmarks()[i].m_strName == name)
            return i;
    ADD_FAILURE() << "no bookmark " << name;
    return 0;
}

Trash TrashOf(const std::string& document) {
    Trash trash;
    EXPECT_TRUE(trash.Load(brindle::TrashFileFor(document)));
    return trash;
}

std::vector<std::string> TrashNames(const std::string& document) {
    std::vector<std::string> names;
    const brindle::Trash trash = TrashOf(document); // a loop over a temporary's member would dangle
    for (const brindle::TrashEntry& e : trash.Entries())
        names.push_back(e.bookmark.m_strName);
    return names;
}

// A document of the given bookmarks written at `path` as brindle-cli writes: the version read
// and the one written become this machine's versions.
void WriteVersion(const std::string& path, const std::vector<std::string>& names) {
    CBrindleDoc doc;
    for (const std::string& n : names)
        AddTo(doc, n);
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
    ASSERT_EQ(brindle::VersionHistory(path).RecordFile(path), 0);
}

// The other machine's write: a plain file, not one of this machine's versions.
void WriteVersionFile(const std::string& path, const std::vector<std::string>& names) {
    CBrindleDoc doc;
    for (const std::string& n : names)
        AddTo(doc, n);
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
}

class TrashFixture : public ::testing::Test {
  protected:
    TempDirectory dir;
    std::string path = dir.File("web.brx");
    CBrindleDoc doc;
    brindle::DocumentSync sync{doc};
    std::unique_ptr<brindle::FileCommands> files;

    void SetUp() override {
        std::filesystem::remove(brindle::TrashFileFor(path));
        WriteVersion(path, {"A", "B", "C"});
        files = std::make_unique<brindle::FileCommands>(doc, brindle::FileCommandCallbacks{});
        files->SetSync(&sync);
        ASSERT_TRUE(files->OpenPath(path, false));
    }
};

TEST_F(TrashFixture, DeletionsReachTheTrashAtSaveAndAnUndoneOneNever) {
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmarks({IndexOf(doc, "A"), IndexOf(doc, "B")});
    EXPECT_THAT(TrashNames(path), IsEmpty()); // nothing before the save
    doc.UndoDeleteBookmarks();
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmark(IndexOf(doc, "C"));
    ASSERT_TRUE(files->Save());
    const Trash trash = TrashOf(path);
    ASSERT_EQ(trash.Entries().size(), 1u);
    const brindle::TrashEntry& e = trash.Entries()[0];
    EXPECT_EQ(e.bookmark.m_strName, "C");
    EXPECT_EQ(e.bookmark.m_strNotes, "about C"); // every field kept for the restore
    EXPECT_EQ(e.reason, TrashReason::Deleted);
    EXPECT_GE(e.deleted, CBrindleDoc::Now() - 60);
    // Saved once, never again.
    ASSERT_TRUE(files->Save());
    EXPECT_THAT(TrashNames(path), ElementsAre("C"));
}

TEST_F(TrashFixture, WhatAnotherCopyDeletedIsTrashedAsMergedAndTheBaseStaysOnDisk) {
    AddTo(doc, "Mine");
    {
        brindle::DocumentLock lock;
        ASSERT_EQ(lock.Acquire(path), brindle::DocumentLock::State::Held);
        CBrindleDoc other;
        ASSERT_TRUE(brindle::ReadDocumentFile(other, path));
        other.DeleteBookmark(IndexOf(other, "B"));
        ASSERT_TRUE(brindle::WriteDocumentFile(other, path));
    }
    EXPECT_EQ(sync.Refresh().outcome, brindle::SyncOutcome::Merged);
    EXPECT_THAT(Names(doc), ElementsAre("A", "C", "Mine"));
    ASSERT_TRUE(files->Save());
    const Trash trash = TrashOf(path);
    ASSERT_EQ(trash.Entries().size(), 1u);
    EXPECT_EQ(trash.Entries()[0].bookmark.m_strName, "B");
    EXPECT_EQ(trash.Entries()[0].reason, TrashReason::Merged);
    // The base of the next merge is the file as saved, kept in the state folder.
    const std::string base = brindle::VersionHistory(path).Newest();
    ASSERT_FALSE(base.empty());
    EXPECT_TRUE(brindle::VersionHistory::SameContent(base, path));
    EXPECT_EQ(base.rfind(brindle::StateFolder(), 0), 0u);
}

TEST_F(TrashFixture, RestoreAddsBackAndEntriesPastThirtyDaysAreDropped) {
    Trash trash;
    CBookmark old("Old", "http://old/", "", "", "", 0, "<None>", "", 0, 0, 0, 0);
    CBookmark recent("Recent", "http://recent/", "k", "", "n", 0, "<None>", "", 0, 0, 0, 0);
    CBookmark present("A", "http://A/", "", "", "", 0, "<None>", "", 0, 0, 0, 0);
    const BrxTime now = CBrindleDoc::Now();
    trash.Append({{old, now - 31 * 86400, TrashReason::Synced, {}},
                  {recent, now - 29 * 86400, TrashReason::ConflictCopy, "x.sync-conflict"},
                  {present, now, TrashReason::Deleted, {}}});
    ASSERT_EQ(trash.Save(brindle::TrashFileFor(path)), 0);
    // A save with a deletion drops what is too old.
    doc.DeleteBookmark(IndexOf(doc, "C"));
    ASSERT_TRUE(files->Save());
    Trash reread = TrashOf(path);
    EXPECT_THAT(TrashNames(path), ElementsAre("Recent", "A", "C"));
    EXPECT_EQ(reread.Entries()[0].detail, "x.sync-conflict");
    EXPECT_EQ(reread.Entries()[0].reason, TrashReason::ConflictCopy);
    // "A" is in the document already: it only leaves the trash.
    EXPECT_EQ(reread.Restore({0, 1}, doc), 1u);
    EXPECT_THAT(Names(doc), ElementsAre("A", "B", "Recent"));
    EXPECT_EQ(doc.Bookmarks()[2].m_strNotes, "n");
    ASSERT_EQ(reread.Entries().size(), 1u);
    EXPECT_EQ(reread.Entries()[0].bookmark.m_strName, "C");
}

TEST(ConflictCopies, TheNamesSyncToolsGiveThem) {
    using brindle::IsConflictCopyName;
    for (const char* copy : {
             "web.sync-conflict-20260110-093612-ABCD123.brx",
             "web.sync-conflict-20260110-093612.brx",
             "web (conflicted copy 2026-01-10 093612).brx",
             "web (Conflicted copy alice 2026-01-10 093612).brx",
             "web (Alice's conflicted copy 2026-01-10).brx",
             "web (Alice's conflicted copy 2026-01-10) (1).brx",
             "web (conflicted copy).brx",
             "web_conflict-20260110-093612.brx",
         })
        EXPECT_TRUE(IsConflictCopyName("web.brx", copy)) << copy;
    for (const char* other : {
             "web.brx",
             "webs.sync-conflict-20260110-093612-ABCD123.brx",
             "web.sync-conflict-20260110-093612-ABCD123.bak",
             "web (copy).brx",
             "web.sync-conflict-2026-093612.brx",
             "other (conflicted copy 2026-01-10 093612).brx",
         })
        EXPECT_FALSE(IsConflictCopyName("web.brx", other)) << other;
}

// Two machines started from {A, B, C}. This one (after two writes of its own) holds
// {A, B, C, Mine1, Mine2} minus C; the other one added Theirs and deleted B. The sync tool left
// one as the file and the other as a conflict copy.
class ConflictCopyMerge : public ::testing::Test {
  protected:
    TempDirectory dir;
    std::string path = dir.File("web.brx");
    std::string copy = dir.File("web.sync-conflict-20260110-093612-ABCD123.brx");
    std::string mine = dir.File("mine.brx");

    void SetUp() override {
        std::filesystem::remove_all(brindle::TrashFolder());
        WriteVersion(path, {"A", "B", "C"});
        WriteVersion(path, {"A", "B", "C", "Mine1"});
        WriteVersion(path, {"A", "B", "Mine1", "Mine2"});
        std::filesystem::copy_file(path, mine);
    }

    void Check(CBrindleDoc& doc) {
        int saves = 0;
        const brindle::ConflictCopyReport report = brindle::MergeConflictCopies(doc, path, [&] {
            ++saves;
            return brindle::WriteDocumentFile(doc, path).ok && brindle::CommitTrash(doc, path) == 0;
        });
        EXPECT_EQ(saves, 1);
        EXPECT_THAT(report.merged, ElementsAre("web.sync-conflict-20260110-093612-ABCD123.brx"));
        EXPECT_THAT(NamesIn(path), UnorderedElementsAre("A", "Mine1", "Mine2", "Theirs"));
        // The copy is in the trash folder; what it deleted is in the trash.
        EXPECT_FALSE(std::filesystem::exists(copy));
        EXPECT_TRUE(std::filesystem::exists(brindle::TrashFolder() + "/" +
                                            brindle::DocumentKey(path) + "." + report.merged[0]));
        EXPECT_THAT(brindle::FindConflictCopies(path), IsEmpty());
    }
};

TEST_F(ConflictCopyMerge, OursAsTheFileTheirsAsTheCopy) {
    WriteVersionFile(copy, {"A", "C", "Theirs"});
    CBrindleDoc doc;
    ASSERT_TRUE(brindle::ReadDocumentFile(doc, path));
    Check(doc);
    EXPECT_THAT(TrashNames(path), ElementsAre("B"));
    EXPECT_EQ(TrashOf(path).Entries()[0].reason, TrashReason::ConflictCopy);
}

TEST_F(ConflictCopyMerge, TheirsAsTheFileOursAsTheCopy) {
    std::filesystem::rename(path, copy);
    WriteVersionFile(path, {"A", "C", "Theirs"});
    CBrindleDoc doc;
    ASSERT_TRUE(brindle::ReadDocumentFile(doc, path));
    Check(doc);
    // From the file's point of view the copy deleted C.
    EXPECT_THAT(TrashNames(path), ElementsAre("C"));
}

} // namespace
