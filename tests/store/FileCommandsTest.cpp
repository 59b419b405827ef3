// SPDX-License-Identifier: GPL-3.0-or-later
// The file commands with scripted dialog answers: Save with its backups, AutoSave,
// Save As, New and Open with the save prompt, failed opens, and failed writes.

#include "support/ChildProcess.h"
#include "support/RecordingListener.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/FileCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <sys/stat.h>

using brindle::FileCommands;
using brindle::FileDialogRequest;
using brindle::SaveChangesAnswer;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testutil::Exists;
using testutil::ReadFile;
using testutil::TempDirectory;
using testutil::WriteFile;

namespace {

// Dialog answers given in advance, and everything the commands showed.
struct ScriptedUi {
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<SaveChangesAnswer> promptAnswers;
    std::vector<FileDialogRequest> dialogs;
    std::vector<std::string> prompts;
    std::vector<std::string> errors;
    std::vector<std::string> recent;
    int replaced = 0;

    brindle::FileCommandCallbacks Callbacks() {
        brindle::FileCommandCallbacks c;
        c.chooseOpenPath = [this](const FileDialogRequest& r) { return Next(r, openAnswers); };
        c.chooseSavePath = [this](const FileDialogRequest& r) { return Next(r, saveAnswers); };
        c.askSaveChanges = [this](const std::string& prompt) {
            prompts.push_back(prompt);
            if (promptAnswers.empty())
                return SaveChangesAnswer::Cancel;
            const SaveChangesAnswer a = promptAnswers.front();
            promptAnswers.pop_front();
            return a;
        };
        c.showError = [this](const std::string& m) { errors.push_back(m); };
        c.pathChanged = [this](const std::string& path, bool addToRecent) {
            if (addToRecent)
                recent.push_back(path);
        };
        c.documentReplaced = [this] { ++replaced; };
        return c;
    }

  private:
    std::optional<std::string> Next(const FileDialogRequest& r,
                                    std::deque<std::optional<std::string>>& answers) {
        dialogs.push_back(r);
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

void AddSome(CBrindleDoc& doc) {
    ASSERT_TRUE(doc.AddBookmark({.name = "Home",
                                 .url = "http://h/",
                                 .keywords = "web",
                                 .statusChecking = 1,
                                 .status = "Waiting",
                                 .addDate = 5}));
    ASSERT_TRUE(doc.AddBookmark({.name = "News",
                                 .url = "http://n/",
                                 .keywords = "news",
                                 .statusChecking = 1,
                                 .status = "Waiting",
                                 .addDate = 6}));
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileCommands, BackupBaseFromTheFileName) {
    EXPECT_EQ(FileCommands::BackupBase("/lists/web.brx"), "/lists/web");
    EXPECT_EQ(FileCommands::BackupBase("/lists/web"), "/lists/web");
    EXPECT_EQ(FileCommands::BackupBase("/lists/web.old.brx"), "/lists/web");
    EXPECT_EQ(FileCommands::BackupBase("/my.files/web.brx"), "/my.files/web");
    EXPECT_EQ(FileCommands::BackupBase("/my.files/web"), "/my.files/web");
    EXPECT_EQ(FileCommands::BackupBase("web.brx"), "web");
    EXPECT_EQ(FileCommands::BackupBase("/lists/.hidden.brx"), "/lists/.hidden");
}

TEST(FileCommands, SaveWithBackupsWritesThreeIdenticalFiles) {
    TempDirectory dir;
    CBrindleDoc doc;
    AddSome(doc);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    commands.SetPathName(dir.File("web.brx"), false);
    ASSERT_TRUE(commands.Save());
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web.bak", "web.bk0", "web.brx"));
    const std::string bytes = ReadFile(dir.File("web.brx"));
    EXPECT_EQ(bytes, brindle::DocumentToBytes(doc));
    EXPECT_EQ(ReadFile(dir.File("web.bak")), bytes);
    EXPECT_EQ(ReadFile(dir.File("web.bk0")), bytes);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_THAT(ui.errors, IsEmpty());
    EXPECT_THAT(ui.dialogs, IsEmpty());
    EXPECT_THAT(ui.recent, ElementsAre(dir.File("web.brx")));
}

TEST(FileCommands, SavePathWithoutDot) {
    TempDirectory dir;
    CBrindleDoc doc;
    AddSome(doc);
    FileCommands commands(doc, {});
    commands.SetPathName(dir.File("web"));
    commands.Save();
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web", "web.bak", "web.bk0"));
}

TEST(FileCommands, BackupsStayInAFolderWhoseNameHasADot) {
    TempDirectory dir;
    std::filesystem::create_directory(dir.Path() / "my.files");
    CBrindleDoc doc;
    AddSome(doc);
    FileCommands commands(doc, {});
    commands.SetPathName(dir.File("my.files/web.brx"));
    commands.Save();
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("my.files"));
    EXPECT_THAT(FilesIn(dir.Path() / "my.files"), ElementsAre("web.bak", "web.bk0", "web.brx"));
}

TEST(FileCommands, SaveWithBackupsOffWritesOnlyTheDocument) {
    TempDirectory dir;
    CPreferences prefs;
    CBrindleDoc doc(prefs);
    prefs.m_bBackup = 0;
    AddSome(doc);
    FileCommands commands(doc, {});
    commands.SetPathName(dir.File("web.brx"));
    commands.Save();
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web.brx"));
}

TEST(FileCommands, SaveOfANewDocumentAsksWithSaveFile) {
    TempDirectory dir;
    CBrindleDoc doc;
    AddSome(doc);
    ScriptedUi ui;
    ui.saveAnswers = {std::nullopt};
    FileCommands commands(doc, ui.Callbacks());
    EXPECT_FALSE(commands.Save());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Save File");
    EXPECT_EQ(ui.dialogs[0].fileName, "noname.brx");
    EXPECT_EQ(ui.dialogs[0].defaultExtension, ".brx");
    EXPECT_EQ(ui.dialogs[0].filter, "Brindle Files(*.brx)|*.brx|All Files(*.*)|*.*||");
    EXPECT_TRUE(ui.dialogs[0].hideReadOnly);
    EXPECT_TRUE(ui.dialogs[0].promptOverwrite);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(commands.PathName(), "");
    EXPECT_EQ(commands.Title(), "noname");
    EXPECT_THAT(FilesIn(dir.Path()), IsEmpty());

    ui.saveAnswers = {dir.File("chosen.brx")};
    EXPECT_TRUE(commands.Save());
    EXPECT_EQ(commands.PathName(), dir.File("chosen.brx"));
    EXPECT_EQ(commands.Title(), "chosen.brx");
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("chosen.bak", "chosen.bk0", "chosen.brx"));
}

TEST(FileCommands, AutoSaveWritesOnlyTheBakCopy) {
    TempDirectory dir;
    CPreferences prefs;
    CBrindleDoc doc(prefs);
    AddSome(doc);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    // Never saved: nothing, and no dialog.
    EXPECT_TRUE(commands.AutoSave());
    EXPECT_THAT(ui.dialogs, IsEmpty());
    EXPECT_TRUE(doc.IsModified());

    commands.SetPathName(dir.File("web.brx"));
    EXPECT_TRUE(commands.AutoSave());
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web.bak", "web.brx"));
    EXPECT_EQ(ReadFile(dir.File("web.bak")), ReadFile(dir.File("web.brx")));
    EXPECT_FALSE(doc.IsModified());

    // Unmodified: nothing is written.
    std::filesystem::remove(dir.File("web.brx"));
    commands.AutoSave();
    EXPECT_FALSE(Exists(dir.File("web.brx")));
    // "bAutoSave" off: nothing either.
    doc.SetModifiedFlag(true);
    prefs.m_bAutoSave = 0;
    commands.AutoSave();
    EXPECT_FALSE(Exists(dir.File("web.brx")));
    EXPECT_TRUE(doc.IsModified());
    // Backups off: the document only.
    prefs.m_bAutoSave = 1;
    prefs.m_bBackup = 0;
    std::filesystem::remove(dir.File("web.bak"));
    commands.AutoSave();
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web.brx"));
}

TEST(FileCommands, SaveAsWritesNoBackupsAndTakesThePath) {
    TempDirectory dir;
    CBrindleDoc doc;
    AddSome(doc);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    ui.saveAnswers = {dir.File("other.brx")};
    ASSERT_TRUE(commands.SaveAs());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Save As");
    EXPECT_EQ(ui.dialogs[0].fileName, "noname.brx");
    EXPECT_EQ(ui.dialogs[0].defaultExtension, ".brx");
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("other.brx"));
    EXPECT_EQ(commands.PathName(), dir.File("other.brx"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_THAT(ui.recent, ElementsAre(dir.File("other.brx")));
}

TEST(FileCommands, NewAsksToSaveAModifiedDocument) {
    TempDirectory dir;
    CBrindleDoc doc;
    AddSome(doc);
    doc.AddSchedule("Weekly", 633600, false);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());

    ui.promptAnswers = {SaveChangesAnswer::Cancel};
    EXPECT_FALSE(commands.New());
    EXPECT_THAT(ui.prompts, ElementsAre("Save changes to noname?"));
    EXPECT_EQ(doc.Bookmarks().size(), 2u);

    // Yes on a never-saved document: the Save As dialog, no backups.
    ui.promptAnswers = {SaveChangesAnswer::Yes};
    ui.saveAnswers = {dir.File("kept.brx")};
    EXPECT_TRUE(commands.New());
    EXPECT_EQ(ui.dialogs.back().title, "Save As");
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("kept.brx"));
    EXPECT_TRUE(doc.Bookmarks().empty());
    EXPECT_EQ(doc.Schedules().size(), 1u); // DeleteContents keeps the schedules
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(commands.Title(), "noname");
    EXPECT_EQ(ui.replaced, 1);

    // No discards.
    AddSome(doc);
    ui.promptAnswers = {SaveChangesAnswer::No};
    EXPECT_TRUE(commands.New());
    EXPECT_TRUE(doc.Bookmarks().empty());
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("kept.brx"));

    // Yes on a saved document saves to its path, without backups.
    commands.OpenPath(dir.File("kept.brx"));
    ASSERT_TRUE(doc.AddBookmark({.name = "Third", .url = "t", .statusChecking = 1}));
    ui.promptAnswers = {SaveChangesAnswer::Yes};
    EXPECT_TRUE(commands.New());
    EXPECT_EQ(ui.prompts.back(), "Save changes to kept.brx?");
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("kept.brx"));
    CBrindleDoc check;
    ASSERT_TRUE(brindle::ReadDocumentFile(check, dir.File("kept.brx")));
    EXPECT_EQ(check.Bookmarks().size(), 3u);
}

TEST(FileCommands, OpenReplacesTheDocument) {
    TempDirectory dir;
    CBrindleDoc source;
    AddSome(source);
    source.SetSortOrder(3, source.SortAscending() != 0);
    ASSERT_TRUE(brindle::WriteDocumentFile(source, dir.File("web.brx")));

    CBrindleDoc doc;
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    ui.openAnswers = {dir.File("web.brx")};
    ASSERT_TRUE(commands.Open());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Open");
    EXPECT_EQ(ui.dialogs[0].filter, "Brindle File(*.brx)|*.brx|All Files (*.*)|*.*||");
    EXPECT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(doc.SortColumn(), 3);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(commands.PathName(), dir.File("web.brx"));
    EXPECT_THAT(ui.recent, ElementsAre(dir.File("web.brx")));
    EXPECT_EQ(ui.replaced, 1);
}

TEST(FileCommands, FailedOpenLeavesAnEmptyDocumentAndRebuildsTheViews) {
    TempDirectory dir;
    WriteFile(dir.File("bad.brx"), "not a document at all, certainly not");
    CBrindleDoc doc;
    AddSome(doc);
    doc.SetModifiedFlag(false);
    RecordingListener views;
    doc.AddListener(&views);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    commands.SetPathName(dir.File("old.brx"));
    EXPECT_FALSE(commands.OpenPath(dir.File("bad.brx")));
    EXPECT_THAT(ui.errors, ElementsAre("Unexpected file format."));
    EXPECT_TRUE(doc.Bookmarks().empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(commands.Title(), "noname");
    EXPECT_THAT(views.calls, ElementsAre("rebuild"));

    EXPECT_FALSE(commands.OpenPath(dir.File("gone.brx")));
    EXPECT_EQ(ui.errors.back(), dir.File("gone.brx") + " was not found.");
    doc.RemoveListener(&views);
}

TEST(FileCommands, FailedBackupWriteIsReportedAndSaveGoesOn) {
    TempDirectory dir;
    std::filesystem::create_directory(dir.File("web.bak")); // cannot be replaced by a file
    CBrindleDoc doc;
    AddSome(doc);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    commands.SetPathName(dir.File("web.brx"));
    EXPECT_TRUE(commands.Save());
    EXPECT_THAT(ui.errors, ElementsAre("Access to " + dir.File("web.bak") + " was denied."));
    EXPECT_TRUE(Exists(dir.File("web.bk0")));
    EXPECT_TRUE(Exists(dir.File("web.brx")));
}

// A device that fails every write.
brindle::WriteFunction FullDevice() {
    return [](int, const char*, std::size_t) -> long {
        errno = ENOSPC;
        return -1;
    };
}

TEST(FileCommands, DeviceFailingEveryWriteLeavesDocumentAndBackupsAsTheyWere) {
    TempDirectory dir;
    WriteFile(dir.File("web.brx"), "old document");
    WriteFile(dir.File("web.bak"), "old bak");
    WriteFile(dir.File("web.bk0"), "old bk0");
    CBrindleDoc doc;
    AddSome(doc);
    ScriptedUi ui;
    FileCommands commands(doc, ui.Callbacks());
    commands.SetWriteFunction(FullDevice());
    commands.SetPathName(dir.File("web.brx"));
    EXPECT_FALSE(commands.Save());
    EXPECT_THAT(ui.errors, ElementsAre("Disk full while accessing " + dir.File("web.bak") + ".",
                                       "Disk full while accessing " + dir.File("web.bk0") + ".",
                                       "Disk full while accessing " + dir.File("web.brx") + "."));
    EXPECT_EQ(ReadFile(dir.File("web.brx")), "old document");
    EXPECT_EQ(ReadFile(dir.File("web.bak")), "old bak");
    EXPECT_EQ(ReadFile(dir.File("web.bk0")), "old bk0");
    EXPECT_THAT(FilesIn(dir.Path()), ElementsAre("web.bak", "web.bk0", "web.brx"));
    // Every write was tried; the document never reached its file, so it still asks to be saved
    // (else the program could end without a prompt and lose it).
    EXPECT_TRUE(doc.IsModified());

    ui.errors.clear();
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(commands.AutoSave());
    EXPECT_EQ(ui.errors.size(), 2u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadFile(dir.File("web.brx")), "old document");
    EXPECT_EQ(ReadFile(dir.File("web.bak")), "old bak");
}

TEST(FileCommands, ReadOnlyFolderLeavesDocumentAndBackupsAsTheyWere) {
    TempDirectory dir;
    const std::filesystem::path folder = dir.Path() / "locked";
    std::filesystem::create_directory(folder);
    const std::string path = (folder / "web.brx").string();
    WriteFile(path, "old document");
    WriteFile((folder / "web.bak").string(), "old bak");
    WriteFile((folder / "web.bk0").string(), "old bk0");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    CBrindleDoc doc;
    AddSome(doc);
    const testutil::ChildResult child = testutil::RunInChild([&](int fd) {
        if (!testutil::DropPrivileges())
            return testutil::kChildCannotDropPrivileges;
        ScriptedUi ui;
        FileCommands commands(doc, ui.Callbacks());
        commands.SetPathName(path);
        const bool saved = commands.Save();
        for (const std::string& e : ui.errors)
            testutil::WriteAll(fd, e + "\n");
        return saved ? 1 : 0;
    });
    ::chmod(folder.c_str(), 0755);
    if (child.exitCode == testutil::kChildCannotDropPrivileges)
        GTEST_SKIP() << "cannot leave the root user here";
    EXPECT_EQ(child.exitCode, 0);
    const std::string base = (folder / "web").string();
    EXPECT_EQ(child.output, "Access to " + base + ".bak was denied.\nAccess to " + base +
                                ".bk0 was denied.\nAccess to " + path + " was denied.\n");
    EXPECT_EQ(ReadFile(path), "old document");
    EXPECT_EQ(ReadFile(base + ".bak"), "old bak");
    EXPECT_EQ(ReadFile(base + ".bk0"), "old bk0");
    EXPECT_THAT(FilesIn(folder), ElementsAre("web.bak", "web.bk0", "web.brx"));
}

} // namespace
