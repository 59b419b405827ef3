#include "cli/CliDocument.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/FileCommands.h"

namespace brindle::cli {

bool OpenDocument(CBrindleDoc& doc, const std::string& path, std::ostream& err) {
    const ArchiveResult result = OpenDocumentFile(doc, path);
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
    const bool saved = commands.Save();
    doc.SetPreferences(keep);
    return saved;
}

} // namespace brindle::cli
