// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conflict copies that file-syncing tools leave beside a document when two machines changed it
// before hearing from each other:
// - Syncthing: NAME.sync-conflict-YYYYMMDD-HHMMSS-DEVICE.brx
// - Nextcloud and ownCloud: NAME (conflicted copy YYYY-MM-DD HHMMSS).brx, and the older
//   NAME_conflict-YYYYMMDD-HHMMSS.brx
// - Dropbox: NAME (USER's conflicted copy YYYY-MM-DD).brx, with " (1)"... for repeats
// Each copy is merged three ways into the document, against the version both copies started
// from (chosen among the versions this machine read or wrote, VersionHistory); once the merged
// document is saved, the copy moves into the trash folder.

#include "store/DocumentMerge.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

// Whether `candidate` (a file name) is a conflict copy of the document named `documentName`.
bool IsConflictCopyName(std::string_view documentName, std::string_view candidate);
// The conflict copies of the document at `path`, in its folder, oldest first.
std::vector<std::string> FindConflictCopies(const std::string& path);

struct ConflictCopyReport {
    std::vector<std::string> merged;     // file names of the copies merged
    std::vector<std::string> unreadable; // copies that are no document (yet): left alone
    std::vector<std::string> notMoved;   // merged, saved, but still in place
    MergeReport merge;                   // all merges together
    bool saved = true;                   // false when the save after merging failed
    bool Any() const { return !merged.empty(); }
};

// Merges every conflict copy of `path` into `doc` (which holds that file, changed or not): the
// copy's additions arrive, what it deleted goes (to the trash, marked as deleted in the copy),
// fields both sides changed keep the document's value with the copy's in the notes. Then
// `save` writes the document; only when it succeeds do the copies move into the trash folder
// (so a failed save loses nothing). Without copies nothing happens and `save` is not called.
ConflictCopyReport MergeConflictCopies(CBrindleDoc& doc, const std::string& path,
                                       const std::function<bool()>& save);
// The two halves, for a caller that saves its own way: the merges (the document is left
// modified, nothing saved or moved), then, after a successful save, the move of the merged
// copies into the trash folder.
ConflictCopyReport MergeConflictCopiesInto(CBrindleDoc& doc, const std::string& path);
void TrashMergedCopies(const std::string& path, ConflictCopyReport& report);

// The version of the document both `fileA` and `fileB` (two diverged copies) most likely
// started from, among this machine's versions of the document at `path`; empty when none.
std::string CommonVersion(const std::string& path, const std::string& fileA,
                          const std::string& fileB);

} // namespace brindle
