// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileCommands.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/DocumentSync.h"
#include "store/FileErrors.h"
#include "store/Trash.h"

namespace brindle {

// The document template's filter and the Save command's own.
const char* const FileCommands::kOpenFilter = "Brindle File(*.brx)|*.brx|All Files (*.*)|*.*||";
const char* const FileCommands::kSaveFileFilter = "Brindle Files(*.brx)|*.brx|All Files(*.*)|*.*||";

namespace {
constexpr const char* kUntitled = "noname";
constexpr const char* kExtension = ".brx";
} // namespace

FileCommands::FileCommands(CBrindleDoc& doc, FileCommandCallbacks callbacks)
    : m_doc(doc), m_ui(std::move(callbacks)) {}

std::string FileCommands::Title() const {
    if (m_path.empty())
        return kUntitled;
    const std::size_t slash = m_path.find_last_of('/');
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

void FileCommands::SetPathName(const std::string& path, bool addToRecent) {
    m_path = path;
    if (m_ui.pathChanged)
        m_ui.pathChanged(m_path, addToRecent && !path.empty());
}

void FileCommands::ShowError(const std::string& message) {
    if (m_ui.showError)
        m_ui.showError(message);
}

std::string FileCommands::BackupBase(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t from = nameStart;
    while (from < path.size() && path[from] == '.')
        ++from; // ".hidden.brx" has the base ".hidden"
    const std::size_t dot = path.find('.', from);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

bool FileCommands::SaveDocumentTo(const std::string& path) {
    const ArchiveResult result = WriteDocumentFile(m_doc, path, m_write);
    if (!result) {
        ShowError(result.message);
        return false;
    }
    m_doc.SetModifiedFlag(false);
    if (m_ui.saved)
        m_ui.saved(path);
    return true;
}

std::optional<std::string> FileCommands::AskSaveAsPath() {
    if (!m_ui.chooseSavePath)
        return std::nullopt;
    FileDialogRequest request;
    request.title = "Save As";
    request.fileName = m_path.empty() ? std::string(kUntitled) + kExtension : Title();
    request.defaultExtension = kExtension;
    request.filter = kOpenFilter;
    request.hideReadOnly = true;
    request.promptOverwrite = true;
    return m_ui.chooseSavePath(request);
}

// Save with a path chosen on demand: with no path, the "Save As" dialog first. No backups.
bool FileCommands::DoSave(const std::optional<std::string>& path) {
    std::optional<std::string> target = path;
    if (!target || target->empty()) {
        target = AskSaveAsPath();
        if (!target)
            return false;
    }
    if (!Guarded(*target, [&] { return SaveDocumentTo(*target); }))
        return false;
    SetPathName(*target, true);
    return true;
}

bool FileCommands::SaveModified() {
    if (!m_doc.IsModified())
        return true;
    const SaveChangesAnswer answer =
        m_ui.askSaveChanges ? m_ui.askSaveChanges(FormatMessage1(kSaveChangesPrompt, Title()))
                            : SaveChangesAnswer::Cancel;
    switch (answer) {
    case SaveChangesAnswer::Yes:
        return DoSave(m_path.empty() ? std::nullopt : std::optional<std::string>(m_path));
    case SaveChangesAnswer::No:
        return true;
    case SaveChangesAnswer::Cancel:
        break;
    }
    return false;
}

bool FileCommands::New() {
    if (!SaveModified())
        return false;
    m_doc.DeleteContents();
    m_doc.SetModifiedFlag(false);
    if (m_sync)
        m_sync->Forget();
    SetPathName(std::string(), false);
    if (m_ui.documentReplaced)
        m_ui.documentReplaced();
    return true;
}

bool FileCommands::Open() {
    if (!SaveModified())
        return false;
    if (!m_ui.chooseOpenPath)
        return false;
    FileDialogRequest request;
    request.title = "Open";
    request.defaultExtension = kExtension;
    request.filter = kOpenFilter;
    request.hideReadOnly = true;
    const std::optional<std::string> path = m_ui.chooseOpenPath(request);
    if (!path)
        return false;
    return OpenPath(*path, false);
}

bool FileCommands::OpenPath(const std::string& path, bool promptToSave) {
    if (promptToSave && !SaveModified())
        return false;
    const ArchiveResult result = m_sync ? m_sync->Open(path) : OpenDocumentFile(m_doc, path);
    if (!result) {
        // The previous document is gone: an empty, unmodified "noname" takes its place.
        SetPathName(std::string(), false);
        ShowError(result.message);
        return false;
    }
    SetPathName(path, true);
    if (m_ui.documentReplaced)
        m_ui.documentReplaced();
    return true;
}

bool FileCommands::Save() {
    std::string path = m_path;
    if (path.empty()) {
        if (!m_ui.chooseSavePath)
            return false;
        FileDialogRequest request;
        request.title = "Save File";
        request.fileName = std::string(kUntitled) + kExtension;
        request.defaultExtension = kExtension;
        request.filter = kSaveFileFilter;
        request.hideReadOnly = true;
        request.promptOverwrite = true;
        const std::optional<std::string> chosen = m_ui.chooseSavePath(request);
        if (!chosen || chosen->empty())
            return false;
        path = *chosen;
    }
    const bool saved = Guarded(path, [&] {
        if (m_doc.Prefs().m_bBackup) {
            const std::string base = BackupBase(path);
            SaveDocumentTo(base + ".bak");
            SaveDocumentTo(base + ".bk0");
        }
        return SaveDocumentTo(path);
    });
    if (!saved) {
        // The document is not on disk: it must still ask to be saved before the program ends
        // (a backup written before may have cleared the flag).
        m_doc.SetModifiedFlag(true);
        return false;
    }
    m_doc.SetModifiedFlag(false);
    SetPathName(path, true);
    return true;
}

bool FileCommands::Guarded(const std::string& path, const std::function<bool()>& write) {
    bool ok = false;
    if (!m_sync) {
        ok = write();
    } else {
        const DocumentSync::SaveResult result = m_sync->Save(path, write);
        if (!result.ok && !result.message.empty())
            ShowError(result.message);
        ok = result.ok;
    }
    // What was deleted reaches the trash once the file no longer holds it; a trash that cannot
    // be written keeps the deletions for the next save.
    if (ok)
        (void)CommitTrash(m_doc, path);
    return ok;
}

bool FileCommands::SaveAs() {
    const std::optional<std::string> path = AskSaveAsPath();
    if (!path || path->empty())
        return false;
    return DoSave(path);
}

bool FileCommands::AutoSave() {
    if (!m_doc.Prefs().m_bAutoSave || !m_doc.IsModified() || m_path.empty())
        return true;
    bool ok = true;
    const bool saved = Guarded(m_path, [&] {
        if (m_doc.Prefs().m_bBackup)
            ok = SaveDocumentTo(BackupBase(m_path) + ".bak");
        return SaveDocumentTo(m_path);
    });
    // Only a document that reached its file stops being "modified".
    m_doc.SetModifiedFlag(!saved);
    return saved && ok;
}

} // namespace brindle
