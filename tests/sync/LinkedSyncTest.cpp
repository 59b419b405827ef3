// SPDX-License-Identifier: GPL-3.0-or-later
// A document linked to a bookmark file on a path: both ways, the failsafe, the lock, and a sync
// killed at each of its steps.

#include "SyncFixture.h"

#include "support/BookmarkLookup.h"
#include "support/ChildProcess.h"
#include "support/ProgramRun.h"

#include "store/DocumentMerge.h"

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

using namespace brindle;
using testutil::BrowserEdit;
using testutil::FindByName;
using testutil::IndexOf;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

class LinkedSync : public testutil::SyncFixture {};

LinkSyncOptions AllowMassDelete() {
    LinkSyncOptions options;
    options.allowMassDelete = true;
    return options;
}

LinkSyncOptions ShortWait() {
    LinkSyncOptions options;
    options.lockWait = std::chrono::milliseconds(300);
    return options;
}

} // namespace

TEST_F(LinkedSync, ChangesTravelBothWaysWithFreshIds) {
    MakeLinkedDocument(20, filePath);
    const auto target = MakeFileTarget(filePath);
    LinkSyncResult first = Sync(*target);
    ASSERT_EQ(first.outcome, LinkSyncOutcome::Synced) << first.error;
    EXPECT_EQ(first.counts.addedToFile, 20u);
    EXPECT_EQ(Sync(*target).outcome, LinkSyncOutcome::Unchanged);

    // The browser: one added in a new folder, a rename, a new address, a deletion, a move.
    BrowserEdit browser(ReadFile(filePath));
    browser.Add("Work", "From browser", "http://browser.example/");
    browser.Rename("N1", "N1 browser");
    browser.Readdress("http://n2.example/", "http://n2.example/new");
    browser.Delete("N3");
    browser.Move("N4", "Travel Plans");
    browser.Rename("N5", "N5 browser"); // renamed on both sides
    WriteFile(filePath, browser.Text());
    XbelTree before;
    ASSERT_TRUE(ParseXbel(ReadFile(filePath), before));
    {
        // The document: one added whose first keyword names a folder, one added without,
        // a rename, a deletion.
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.AddBookmark({.name = "Job", .url = "http://job.example/", .keywords = "work x"});
        doc.AddBookmark({.name = "Loose", .url = "http://loose.example/", .keywords = "zzz"});
        doc.SetFieldText(IndexOf(doc, "N6"), kFieldName, "N6 doc");
        doc.SetFieldText(IndexOf(doc, "N5"), kFieldName, "N5 doc");
        doc.DeleteBookmarks({IndexOf(doc, "N7")});
        SaveDoc(doc);
    }
    const LinkSyncResult result = Sync(*target);
    ASSERT_EQ(result.outcome, LinkSyncOutcome::Synced) << result.error;
    EXPECT_EQ(result.counts.conflicts, 1u);

    const std::set<std::string> marks = DocumentMarks();
    EXPECT_EQ(marks, FileMarks(ReadFile(filePath)));
    for (const char* mark :
         {"From browser|http://browser.example/", "N1 browser|http://n1.example/",
          "N2|http://n2.example/new", "N6 doc|http://n6.example/", "N5 doc|http://n5.example/",
          "Job|http://job.example/", "Loose|http://loose.example/"})
        EXPECT_TRUE(marks.count(mark)) << mark;
    EXPECT_FALSE(marks.count("N3|http://n3.example/"));
    EXPECT_FALSE(marks.count("N7|http://n7.example/"));

    CBrindleDoc doc;
    LoadDoc(doc);
    EXPECT_EQ(FindByName(doc, "From browser")->m_strKeywords, "work from browser");
    // The move put the new folder's words in front and kept the bookmark's own keyword.
    EXPECT_EQ(FindByName(doc, "N4")->m_strKeywords, "travel plans mine");
    EXPECT_NE(FindByName(doc, "N5 doc")
                  ->m_strNotes.find(std::string(kMergeConflictMarker) + " Name: N5 browser"),
              std::string::npos);

    // Brindle's additions took ids above the browser's highest, in the folders they belong to.
    XbelTree after;
    ASSERT_TRUE(ParseXbel(ReadFile(filePath), after));
    EXPECT_EQ(after.highestId, before.highestId + 2);
    std::map<std::string, std::pair<std::string, std::uint64_t>> placed; // title -> folder, id
    for (const XbelItem& folder : after.items)
        for (const XbelItem& item : folder.children)
            placed[item.title] = {folder.title, std::stoull(item.id)};
    EXPECT_EQ(placed["Job"].first, "Work");
    EXPECT_EQ(placed["Loose"].first, std::string(kNewBookmarksFolder));
    EXPECT_GT(placed["Job"].second, before.highestId);
    EXPECT_GT(placed["Loose"].second, before.highestId);
    EXPECT_EQ(Sync(*target).outcome, LinkSyncOutcome::Unchanged);
}

// A state the first version wrote (every text of the base spelled out) is converted: the next
// sync still pairs every bookmark and takes a rename as a rename.
TEST_F(LinkedSync, AStateOfTheFirstVersionIsConverted) {
    MakeLinkedDocument(3, filePath);
    const auto target = MakeFileTarget(filePath);
    ASSERT_EQ(Sync(*target).outcome, LinkSyncOutcome::Synced);
    XbelTree tree;
    ASSERT_TRUE(ParseXbel(ReadFile(filePath), tree));
    ASSERT_EQ(tree.items.size(), 1u);
    std::string old = "brindle-link 1\ntarget\t" + filePath + "\nsynced\t1\n";
    for (const XbelItem& item : tree.items[0].children)
        old += "B\t" + item.id + '\t' + item.title + '\t' + item.href + '\t' + tree.items[0].title +
               '\n';
    WriteFile(SyncStatePath(docPath), old + "end\n");

    BrowserEdit browser(ReadFile(filePath));
    browser.Rename("N1", "N1 browser");
    WriteFile(filePath, browser.Text());
    const LinkSyncResult result = Sync(*target);
    ASSERT_EQ(result.outcome, LinkSyncOutcome::Synced) << result.error;
    EXPECT_EQ(result.counts,
              (LinkSyncCounts{.changedInDocument = 1, .documentBookmarks = 3, .fileBookmarks = 3}));
    EXPECT_TRUE(DocumentMarks().count("N1 browser|http://n1.example/"));
    EXPECT_EQ(Sync(*target).outcome, LinkSyncOutcome::Unchanged);
    // A rewrite of the same size right after a sync is no unchanged file.
    BrowserEdit again(ReadFile(filePath));
    again.Rename("N2", "M2");
    WriteFile(filePath, again.Text());
    EXPECT_EQ(Sync(*target).counts.changedInDocument, 1u);

    // Parts do not change a hash (the linked file's is taken as it is written).
    const std::string text = ReadFile(filePath);
    PartHash parts;
    for (std::size_t at = 0; at < text.size(); at += 7 + at % 5)
        parts.Add(std::string_view(text).substr(at, 7 + at % 5));
    EXPECT_EQ(parts.Value(), HashParts(text));
    EXPECT_NE(HashParts(text), HashParts(text + ' '));
}

TEST_F(LinkedSync, MassDeletionOnEitherSideIsRefusedUntilAllowed) {
    MakeLinkedDocument(10, filePath);
    const auto target = MakeFileTarget(filePath);
    ASSERT_EQ(Sync(*target).outcome, LinkSyncOutcome::Synced);

    // Three of ten deleted in the browser: more than a fifth.
    BrowserEdit browser(ReadFile(filePath));
    for (const char* title : {"N1", "N2", "N3"})
        browser.Delete(title);
    WriteFile(filePath, browser.Text());
    const std::string fileBefore = ReadFile(filePath);
    const std::string docBefore = ReadFile(docPath);
    LinkSyncResult refused = Sync(*target);
    EXPECT_EQ(refused.outcome, LinkSyncOutcome::MassDelete);
    EXPECT_EQ(refused.counts.deletedFromDocument, 3u); // planned, not done
    EXPECT_EQ(ReadFile(filePath), fileBefore);
    EXPECT_EQ(ReadFile(docPath), docBefore);
    EXPECT_EQ(Sync(*target, AllowMassDelete()).outcome, LinkSyncOutcome::Synced);
    EXPECT_EQ(DocumentMarks().size(), 7u);

    // Two of seven deleted in the document.
    {
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.DeleteBookmarks({0, 1});
        SaveDoc(doc);
    }
    EXPECT_EQ(Sync(*target).outcome, LinkSyncOutcome::MassDelete);
    EXPECT_EQ(FileMarks(ReadFile(filePath)).size(), 7u);

    EXPECT_TRUE(IsMassDeletion(1001, 1000000));
    EXPECT_FALSE(IsMassDeletion(1000, 1000000));
    EXPECT_FALSE(IsMassDeletion(2, 10));
}

TEST_F(LinkedSync, AnUnreadableFileIsNeverTakenForAnEmptyOne) {
    MakeLinkedDocument(5, filePath);
    const auto target = MakeFileTarget(filePath);
    ASSERT_EQ(Sync(*target).outcome, LinkSyncOutcome::Synced);
    WriteFile(filePath, "<?xml version=\"1.0\"?><xbel version=\"1.0\"><folder>");
    const LinkSyncResult result = Sync(*target, AllowMassDelete());
    EXPECT_EQ(result.outcome, LinkSyncOutcome::Failed);
    EXPECT_EQ(DocumentMarks().size(), 5u);
}

TEST_F(LinkedSync, LocksAreWaitedForOrTakenOverWhenStale) {
    MakeLinkedDocument(3, filePath);
    const auto target = MakeFileTarget(filePath);
    const std::string lock = filePath + ".lock";
    std::filesystem::create_directories(std::filesystem::path(filePath).parent_path());
    WriteFile(lock, "another writer");
    const LinkSyncResult busy = Sync(*target, ShortWait());
    EXPECT_EQ(busy.outcome, LinkSyncOutcome::Failed);
    EXPECT_FALSE(testutil::Exists(filePath));

    // Sixteen minutes old: stale.
    const timespec old[2] = {{std::time(nullptr) - 16 * 60, 0}, {std::time(nullptr) - 16 * 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, lock.c_str(), old, 0), 0);
    EXPECT_EQ(Sync(*target, ShortWait()).outcome, LinkSyncOutcome::Synced);
    EXPECT_FALSE(testutil::Exists(lock)); // removed when done

    // A lock of this host whose process is gone is taken over at once.
    const testutil::ChildResult child = testutil::RunInChild([](int fd) {
        const std::string text = LockText();
        return ::write(fd, text.data(), text.size()) > 0 ? 0 : 1;
    });
    WriteFile(lock, child.output);
    {
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.AddBookmark({.name = "New", .url = "http://new.example/"});
        SaveDoc(doc);
    }
    EXPECT_EQ(Sync(*target, ShortWait()).outcome, LinkSyncOutcome::Synced);
}

TEST_F(LinkedSync, AKilledSyncConvergesWhenRunAgain) {
    for (const char* step : {"locked", "file-written", "document-saved", "state-saved"}) {
        SCOPED_TRACE(step);
        MakeLinkedDocument(30, filePath);
        std::filesystem::remove(filePath);
        const auto target = MakeFileTarget(filePath);
        ASSERT_EQ(Sync(*target).outcome, LinkSyncOutcome::Synced);
        BrowserEdit browser(ReadFile(filePath));
        browser.Add("Work", "From browser", "http://browser.example/");
        browser.Rename("N1", "N1 browser");
        browser.Delete("N2");
        WriteFile(filePath, browser.Text());
        {
            CBrindleDoc doc;
            LoadDoc(doc);
            doc.AddBookmark({.name = "Mine", .url = "http://mine.example/", .keywords = "work"});
            doc.SetFieldText(IndexOf(doc, "N3"), kFieldURL, "http://n3.example/doc");
            doc.DeleteBookmarks({IndexOf(doc, "N4")});
            SaveDoc(doc);
        }
        const testutil::ChildResult killed = testutil::RunInChild([&](int) {
            LinkSyncOptions options;
            options.stepHook = [step](const char* now) {
                if (std::string_view(now) == step)
                    std::raise(SIGKILL);
            };
            const auto own = MakeFileTarget(filePath);
            Sync(*own, options);
            return 0;
        });
        EXPECT_EQ(killed.exitCode, -1); // killed
        const LinkSyncResult again = Sync(*target);
        ASSERT_NE(again.outcome, LinkSyncOutcome::Failed) << again.error;
        const std::set<std::string> marks = DocumentMarks();
        EXPECT_EQ(marks, FileMarks(ReadFile(filePath)));
        EXPECT_EQ(marks.size(), 30u);
        for (const char* mark :
             {"From browser|http://browser.example/", "Mine|http://mine.example/",
              "N1 browser|http://n1.example/", "N3|http://n3.example/doc"})
            EXPECT_TRUE(marks.count(mark)) << mark;
        EXPECT_EQ(Sync(*target).outcome, LinkSyncOutcome::Unchanged);
    }
}

TEST_F(LinkedSync, TheCommandLineRefusesAMassDeletionUntilAllowed) {
    MakeLinkedDocument(5, "unused");
    const std::vector<std::string> env = {"XDG_STATE_HOME=" +
                                          std::string(std::getenv("XDG_STATE_HOME"))};
    const std::filesystem::path folder = std::filesystem::path(docPath).parent_path();
    auto run = [&](std::vector<std::string> args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, env, folder);
    };
    ASSERT_EQ(run({"link", docPath, filePath}).code, 0);
    ASSERT_EQ(run({"sync", docPath, "--no-backup"}).code, 0);
    BrowserEdit browser(ReadFile(filePath));
    browser.Delete("N1");
    browser.Delete("N2");
    WriteFile(filePath, browser.Text());
    const testutil::ProgramRun refused = run({"sync", docPath, "--no-backup"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("--allow-mass-delete"), std::string::npos) << refused.err;
    EXPECT_EQ(DocumentMarks().size(), 5u);
    const testutil::ProgramRun allowed =
        run({"sync", docPath, "--no-backup", "--allow-mass-delete"});
    EXPECT_EQ(allowed.code, 0) << allowed.err;
    EXPECT_EQ(DocumentMarks().size(), 3u);
}
