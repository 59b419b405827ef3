// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli trash FILE [--restore NAME]...
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"
#include "store/TimeFormat.h"
#include "store/Trash.h"

#include <cstring>
#include <set>

namespace brindle::cli {

namespace {

// Moves the bookmarks of the given names from the document to its trash.
int DeleteNamed(const std::string& path, const std::vector<std::string>& names, bool backups,
                Io& io) {
    DocumentLock lock;
    if (!LockDocument(lock, path, io.err))
        return kExitFailure;
    CBrindleDoc doc;
    if (!OpenDocument(doc, path, io.err))
        return kExitFailure;
    const std::set<std::string> wanted(names.begin(), names.end());
    std::set<std::string> found;
    CBrindleDoc::Hits indices;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i) {
        const std::string name(doc.Bookmarks()[i].m_strName);
        if (wanted.count(name)) {
            indices.push_back(i);
            found.insert(name);
        }
    }
    for (const std::string& name : wanted) {
        if (!found.count(name)) {
            io.err << path << " holds no bookmark named \"" << name << "\".\n";
            return kExitFailure;
        }
    }
    doc.DeleteBookmarks(indices);
    if (!SaveDocument(doc, path, backups, io.err))
        return kExitFailure;
    io.out << "deleted: " << indices.size() << "\n";
    return kExitOk;
}

int RunTrash(const Args& args, Io& io) {
    const std::string& path = args.Positional(0);
    if (args.Has("--delete")) {
        if (args.Has("--restore"))
            return UsageError(TrashCommand(), io.err, "--delete and --restore exclude each other");
        return DeleteNamed(path, args.Values("--delete"), !args.Has("--no-backup"), io);
    }
    const std::string trashPath = TrashFileFor(path);
    const std::vector<std::string> names = args.Values("--restore");
    DocumentLock lock;
    if (!names.empty() && !LockDocument(lock, path, io.err))
        return kExitFailure;
    Trash trash;
    if (!trash.Load(trashPath)) {
        io.err << "The trash " << trashPath << " cannot be read.\n";
        return kExitFailure;
    }
    bool changed =
        trash.DropOlderThan(CBrindleDoc::Now() - BrxTime{kTrashKeepDays} * 24 * 3600) != 0;
    if (names.empty()) {
        const std::string pattern = ExpandTimeFormat(kDefaultTimeFormat);
        for (const TrashEntry& e : trash.Entries())
            io.out << FormatTime(e.deleted, pattern) << "\t" << TrashReasonText(e.reason)
                   << (e.detail.empty() ? "" : " (" + e.detail + ")") << "\t"
                   << e.bookmark.m_strName << "\t" << e.bookmark.m_strURL << "\n";
    } else {
        const std::set<std::string> wanted(names.begin(), names.end());
        std::vector<std::size_t> which;
        std::set<std::string> found;
        for (std::size_t i = 0; i < trash.Entries().size(); ++i) {
            if (wanted.count(trash.Entries()[i].bookmark.m_strName)) {
                which.push_back(i);
                found.insert(trash.Entries()[i].bookmark.m_strName);
            }
        }
        for (const std::string& name : wanted) {
            if (!found.count(name)) {
                io.err << "The trash holds no bookmark named \"" << name << "\".\n";
                return kExitFailure;
            }
        }
        CBrindleDoc doc;
        if (!OpenDocument(doc, path, io.err))
            return kExitFailure;
        std::vector<TrashEntry> restored;
        for (const std::size_t i : which)
            restored.push_back(trash.Entries()[i]);
        Trash copy = trash;
        const std::size_t added = copy.Restore(which, doc);
        // The document first: a trash that then cannot be written still holds a copy.
        if (added && !SaveDocument(doc, path, !args.Has("--no-backup"), io.err))
            return kExitFailure;
        io.out << "restored: " << added << "\n";
        // The save may have written deletions of its own to the trash: read it again.
        if (!trash.Load(trashPath)) {
            io.err << "The trash " << trashPath << " cannot be read.\n";
            return kExitFailure;
        }
        trash.Forget(restored);
        changed = true;
    }
    if (changed) {
        if (const int err = trash.Save(trashPath)) {
            io.err << "The trash " << trashPath << " cannot be written: " << std::strerror(err)
                   << "\n";
            return kExitFailure;
        }
    }
    return kExitOk;
}

} // namespace

Command TrashCommand() {
    return {
        "trash",
        "list the document's trash, restore bookmarks from it or move bookmarks to it",
        "FILE [--restore NAME]... [--delete NAME]... [--no-backup]",
        "Without --restore, prints one line per bookmark in FILE's trash: when it was deleted,\n"
        "why, its name and its URL, separated by tabs. Bookmarks are kept there 30 days after\n"
        "a save removed them from FILE (deleted by the user, a merge or a sync). --restore\n"
        "adds every trashed bookmark of that name back to FILE (saved with the Save command's\n"
        "backups unless --no-backup) and takes it out of the trash. --delete moves every\n"
        "bookmark of that name from FILE to the trash, as deleting it in the window and\n"
        "saving does.",
        {"FILE"},
        {{"--restore", "NAME", "restore the bookmarks of this name (repeatable)"},
         {"--delete", "NAME", "move the bookmarks of this name to the trash (repeatable)"},
         {"--no-backup", nullptr, "write no .bak/.bk0 copies"}},
        RunTrash};
}

} // namespace brindle::cli
