// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliDocument.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"
#include "store/FileCommands.h"
#include "store/FileErrors.h"
#include "store/Trash.h"
#include "store/VersionHistory.h"

namespace brindle::cli {

bool LockDocument(DocumentLock& lock, const std::string& path, std::ostream& err) {
    // A folder where no lock file can be made takes no document either: the save reports that.
    if (lock.Acquire(path) == DocumentLock::State::Busy) {
        err << FormatMessage1(kDocumentBusy, path) << "\n";
        return false;
    }
    return true;
}

bool OpenDocument(CBrindleDoc& doc, const std::string& path, std::ostream& err,
                  const BookmarkFilter* filter) {
    const ArchiveResult result = OpenDocumentFile(doc, path, filter);
    if (!result)
        err << result.message << "\n";
    return result.ok;
}

bool SaveDocumentAs(CBrindleDoc& doc, const std::string& path, std::ostream& err) {
    const ArchiveResult result = WriteDocumentFile(doc, path);
    if (!result) {
        err << result.message << "\n";
        return false;
    }
    doc.SetModifiedFlag(false);
    (void)CommitTrash(doc, path);
    return true;
}

bool SaveDocument(CBrindleDoc& doc, const std::string& path, bool backups, std::ostream& err) {
    FileCommandCallbacks ui;
    ui.showError = [&err](const std::string& message) { err << message << "\n"; };
    FileCommands commands(doc, std::move(ui));
    commands.SetPathName(path, false);
    const CPreferences& keep = doc.Prefs();
    CPreferences prefs = keep;
    prefs.m_bBackup = backups ? 1 : 0;
    doc.SetPreferences(prefs);
    // The version read and the one written are this machine's versions of the file: the bases
    // a later merge of conflict copies starts from.
    (void)VersionHistory(path).RecordFile(path);
    const bool saved = commands.Save();
    doc.SetPreferences(keep);
    if (saved)
        (void)VersionHistory(path).RecordFile(path);
    return saved;
}

} // namespace brindle::cli
