// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli sync FILE [--allow-mass-delete] [--wait SECONDS]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "platform/net/WebDav.h"
#include "store/BrindleDoc.h"
#include "store/ConflictCopies.h"
#include "store/DocumentLock.h"
#include "sync/LinkedSync.h"

namespace brindle::cli {

namespace {
int RunSync(const Args& args, Io& io) {
    static const Command self = SyncCommand();
    const std::string& path = args.Positional(0);
    LinkSyncOptions options;
    options.allowMassDelete = args.Has("--allow-mass-delete");
    if (const auto text = args.Value("--wait")) {
        const auto seconds = ParseInteger(*text, 0, 24 * 3600);
        if (!seconds)
            return UsageError(self, io.err, "--wait needs a number of seconds");
        options.lockWait = std::chrono::seconds(*seconds);
    }
    DocumentLock lock;
    CBrindleDoc doc;
    bool opened = false;
    bool failed = false;
    // The document is opened, and locked against other writers, only when something needs it.
    const auto open = [&]() -> CBrindleDoc* {
        if (opened)
            return &doc;
        if (!LockDocument(lock, path, io.err) || !OpenDocument(doc, path, io.err)) {
            failed = true;
            return nullptr;
        }
        opened = true;
        return &doc;
    };
    const auto save = [&] { return SaveDocument(doc, path, !args.Has("--no-backup"), io.err); };

    // Conflict copies a synced folder left beside the document come in first.
    const bool hasCopies = !FindConflictCopies(path).empty();
    if (hasCopies) {
        if (!open())
            return kExitFailure;
        const ConflictCopyReport report = MergeConflictCopies(doc, path, save);
        for (const std::string& name : report.merged)
            io.out << "conflict copy merged: " << name << "\n";
        for (const std::string& name : report.unreadable)
            io.err << "conflict copy left alone (not a document yet): " << name << "\n";
        for (const std::string& name : report.notMoved)
            io.err << "conflict copy merged but not moved to the trash: " << name << "\n";
        if (!report.saved)
            return kExitFailure;
    }

    SyncState state;
    if (!LoadSyncState(SyncStatePath(path), state, true) || state.target.empty()) {
        if (hasCopies)
            return kExitOk;
        io.err << path << " is not linked to a bookmark file (see brindle-cli link)\n";
        return kExitFailure;
    }
    const std::unique_ptr<SyncTarget> target = MakeLinkTarget(
        state.target, IsWebAddress(state.target) ? LoadWebDavLogin(state.target) : WebDavLogin{});
    LinkedDocument document;
    document.path = path;
    document.open = open;
    document.save = save;
    const LinkSyncResult result = SyncLinkedDocument(document, *target, options);
    const LinkSyncCounts& c = result.counts;
    switch (result.outcome) {
    case LinkSyncOutcome::Unchanged:
        io.out << "nothing changed\n";
        return kExitOk;
    case LinkSyncOutcome::Synced:
        io.out << "document: " << c.addedToDocument << " added, " << c.deletedFromDocument
               << " deleted, " << c.changedInDocument << " changed\n"
               << "linked file: " << c.addedToFile << " added, " << c.deletedFromFile
               << " deleted, " << c.changedInFile << " changed\n";
        if (c.conflicts)
            io.out << c.conflicts << " conflicts (the document's value kept, the other in the "
                   << "notes)\n";
        return kExitOk;
    case LinkSyncOutcome::MassDelete:
        io.err << "refused: the sync would delete " << c.deletedFromDocument << " of "
               << c.documentBookmarks << " bookmarks of the document and " << c.deletedFromFile
               << " of " << c.fileBookmarks
               << " of the linked file; run again with --allow-mass-delete to let it\n";
        return kExitFailure;
    case LinkSyncOutcome::Failed:
        if (!failed)
            io.err << result.error << "\n";
        return kExitFailure;
    }
    return kExitFailure;
}
} // namespace

Command SyncCommand() {
    return {
        "sync",
        "bring a linked document and its bookmark file in step",
        "FILE [--allow-mass-delete] [--wait SECONDS] [--no-backup]",
        "Reconciles FILE with the bookmark file it is linked to (see link) against the state\n"
        "of the last sync: additions, deletions, renames and new addresses go both ways, a\n"
        "move between folders of the linked file changes the folder keywords, and a field\n"
        "changed on both sides keeps the document's value with the other in the notes. A\n"
        "sync that would delete more than 20 % or more than 1000 of either side's bookmarks\n"
        "changes nothing and exits 1 unless --allow-mass-delete. With nothing changed on\n"
        "either side neither is written. Conflict copies that a synced folder left beside FILE\n"
        "are merged into it first and then moved to the trash. The linked file's lock is\n"
        "waited for up to --wait seconds (default 60); FILE is saved with the Save command's\n"
        "backups unless --no-backup.",
        {"FILE"},
        {{"--allow-mass-delete", nullptr, "let the sync delete many bookmarks"},
         {"--wait", "SECONDS", "how long to wait for another writer's lock"},
         {"--no-backup", nullptr, "write no .bak/.bk0 copies"}},
        RunSync};
}

} // namespace brindle::cli
