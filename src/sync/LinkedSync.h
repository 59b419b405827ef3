// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps a document and a linked XBEL file that browsers share in step, both ways, against the
// state of the last sync (SyncState):
//  - a bookmark added, deleted, renamed, re-addressed or moved to another folder in the file
//    arrives in the document; a move replaces the keywords that came from the old folder path
//    with the new folder's and keeps the others;
//  - a bookmark added, deleted, renamed or re-addressed in the document arrives in the file; a
//    new one goes into the folder named after its first keyword when there is one, else into a
//    folder "Brindle"; it takes an id above the file's highest, which is raised;
//  - fields the file does not carry stay the document's own;
//  - a field changed on both sides keeps the document's value, and the file's goes into the
//    notes on a line that starts with kMergeConflictMarker.
// The document identifies a bookmark by its name and URL, so a bookmark whose name (or URL)
// changed in the document is recognised by the URL (or name) it kept.
//
// A sync that would delete more than kMassDeleteShare of either side's bookmarks, or more than
// kMassDeleteCount, changes nothing unless it is allowed to.

#include "exchange/Xbel.h"
#include "sync/SyncState.h"
#include "sync/SyncTarget.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class CBrindleDoc;

namespace brindle {

inline constexpr double kMassDeleteShare = 0.20;
inline constexpr std::size_t kMassDeleteCount = 1000;
// The folder new bookmarks of the document go into when no folder matches their first keyword.
inline constexpr std::string_view kNewBookmarksFolder = "Brindle";

struct LinkSyncCounts {
    std::size_t addedToDocument = 0;
    std::size_t deletedFromDocument = 0; // also when refused: what the sync would delete
    std::size_t changedInDocument = 0;
    std::size_t addedToFile = 0;
    std::size_t deletedFromFile = 0; // likewise
    std::size_t changedInFile = 0;
    std::size_t conflicts = 0;
    std::size_t documentBookmarks = 0; // before the sync
    std::size_t fileBookmarks = 0;
    bool operator==(const LinkSyncCounts&) const = default;
};

// Whether deleting `deleted` of `total` bookmarks is a mass deletion.
bool IsMassDeletion(std::size_t deleted, std::size_t total);

// The reconciliation alone, on a document and a parsed file in memory, against the base in
// `base` (its entries and folders). With `allowMassDelete` false and a mass deletion planned,
// nothing changes and it returns false. Otherwise both sides are changed, the base becomes the
// new one and `fileChanged` tells whether the tree changed. `beforeDocument`, when given, is
// called between the two sides, once the tree is final (it may write it out and let it go);
// when it returns false the document is left unchanged and so is the result.
bool ReconcileLinked(CBrindleDoc& doc, XbelCompactTree& tree, SyncState& base, bool allowMassDelete,
                     LinkSyncCounts& counts, bool& fileChanged,
                     const std::function<bool(bool fileChanged)>& beforeDocument = {});

enum class LinkSyncOutcome {
    Unchanged,  // neither side changed since the last sync
    Synced,     // both sides hold the same bookmarks again
    MassDelete, // refused: it would delete too many bookmarks
    Failed,     // nothing or part was done (see error); a later sync picks up from there
};

struct LinkSyncResult {
    LinkSyncOutcome outcome = LinkSyncOutcome::Failed;
    std::string error;
    LinkSyncCounts counts;
};

// The document's part of a sync: the window passes its open document, brindle-cli opens the
// file only when the sync needs it.
struct LinkedDocument {
    std::string path;                   // the document's file
    bool changedInMemory = false;       // the window's document has unsaved changes
    std::function<CBrindleDoc*()> open; // the document to reconcile; null: cannot be opened
    std::function<bool()> save;         // writes it to `path`; false when that failed
};

struct LinkSyncOptions {
    bool allowMassDelete = false;
    std::chrono::milliseconds lockWait{60000};
    // Called after each step ("locked", "file-written", "document-saved", "state-saved"), for
    // tests that stop a sync half-way.
    std::function<void(const char* step)> stepHook;
};

// One whole sync of a linked document with its file: the writer's lock, both sides read, the
// reconciliation, then the file, the document and the state written in that order, so that a
// sync stopped after any step converges when run again.
LinkSyncResult SyncLinkedDocument(LinkedDocument& document, SyncTarget& target,
                                  const LinkSyncOptions& options = {});

// The bookmarks of a parsed file that a sync follows (bookmarks with an address).
std::size_t CountLinkedBookmarks(const XbelTree& tree);

} // namespace brindle
