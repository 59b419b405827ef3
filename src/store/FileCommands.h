// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The File menu's commands on the single document: New, Open, Save with its ".bak" and
// ".bk0" backups, Save As, the automatic save and the save prompt. The dialogs and
// message boxes they open are callbacks that the user interface fills in (tests script them).
//
// Two decisions hold: every write, document and backups, is atomic; backup
// names come from the first "." of the file *name*, not of the whole path.

#include "store/AtomicFile.h"

#include <functional>
#include <optional>
#include <string>

class CBrindleDoc;

namespace brindle {

// What a file dialog is asked to show.
struct FileDialogRequest {
    std::string title;            // "Open", "Save As", "Save File"
    std::string fileName;         // initial file name ("noname.brx"), may be empty
    std::string defaultExtension; // ".brx" or empty
    std::string filter;           // in the pipe-separated "text|pattern|...||" form
    bool hideReadOnly = false;
    bool promptOverwrite = false;
};

enum class SaveChangesAnswer { Yes, No, Cancel };

// The user interface behind the commands. Unset callbacks behave as a cancelled dialog, a
// "Cancel" answer, and a message nobody sees.
struct FileCommandCallbacks {
    // An open or save dialog; the chosen path, or nothing when the user cancels.
    std::function<std::optional<std::string>(const FileDialogRequest&)> chooseOpenPath;
    std::function<std::optional<std::string>(const FileDialogRequest&)> chooseSavePath;
    // "Save changes to %1?" with Yes, No and Cancel.
    std::function<SaveChangesAnswer(const std::string& prompt)> askSaveChanges;
    // A message box with an exclamation icon ("Unexpected file format.", ...).
    std::function<void(const std::string& message)> showError;
    // The document's path changed (window title; `addToRecent` for the recent-file list).
    std::function<void(const std::string& path, bool addToRecent)> pathChanged;
    // A new or opened document is in place: the views' initial update.
    std::function<void()> documentReplaced;
    // The document was written to `path` (every save, auto-save and Save As).
    std::function<void(const std::string& path)> saved;
};

class DocumentSync;

class FileCommands {
  public:
    FileCommands(CBrindleDoc& doc, FileCommandCallbacks callbacks);

    const std::string& PathName() const { return m_path; }
    // The window title's document name: the file name, or "noname".
    std::string Title() const;
    // Sets the path without writing (a document opened elsewhere, the command line).
    void SetPathName(const std::string& path, bool addToRecent = true);

    // New: the save prompt, then DeleteContents and an empty unmodified document "noname".
    bool New();
    // Open: the save prompt, the "Open" dialog, then OpenPath without a second prompt.
    bool Open();
    // Opens `path` (recent files, a second instance): the save prompt, then the open. After a
    // failed open the document is an empty "noname" and the views have been told to rebuild.
    bool OpenPath(const std::string& path, bool promptToSave = true);
    // "&Save": backups when "bBackup" is on, then the document; a failed write shows its message
    // and the next write still runs. Only when the document itself was written are the modified
    // flag cleared and the path set. Returns false when cancelled or when that write failed.
    bool Save();
    // "Save &As...": the "Save As" dialog, no backups; sets the path and clears the flag.
    bool SaveAs();
    // The 15-minute timer: only when "bAutoSave" is on, the document is modified and has a path;
    // ".bak" (when "bBackup" is on) and the document. Returns false when a write failed.
    bool AutoSave();
    // The save prompt before New, Open and Exit: true to go on. "Yes" saves as
    // Save does without backups (with the "Save As" dialog for a document never saved).
    bool SaveModified();
    // The plain save: write, clear the modified flag on success, show the message on
    // failure.
    bool SaveDocumentTo(const std::string& path);

    // The backup names' base: the path up to the first "." of its file name (a leading "." of
    // the name, as in ".hidden", is part of the name), else the whole path.
    static std::string BackupBase(const std::string& path);

    // Follows the document's file through `sync`: opens read through it, and every save holds
    // the document's lock and first merges what other programs wrote meanwhile.
    void SetSync(DocumentSync* sync) { m_sync = sync; }

    // Tests: replace the operating system's write for every file written.
    void SetWriteFunction(WriteFunction write) { m_write = std::move(write); }

    static const char* const kOpenFilter;
    static const char* const kSaveFileFilter;

  private:
    void ShowError(const std::string& message);
    std::optional<std::string> AskSaveAsPath();
    bool DoSave(const std::optional<std::string>& path);
    // Runs a save's writes to `path` (through the sync when there is one).
    bool Guarded(const std::string& path, const std::function<bool()>& write);

    CBrindleDoc& m_doc;
    FileCommandCallbacks m_ui;
    std::string m_path;
    WriteFunction m_write;
    DocumentSync* m_sync = nullptr;
};

} // namespace brindle
