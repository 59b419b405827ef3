// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Trash: every bookmark that leaves a document (deleted by the user, dropped by a merge or a
// sync) is kept for kTrashKeepDays in a file of its own, "<name>-<key>.brx" in the trash folder
// ($XDG_DATA_HOME/brindle/trash). The file is an ordinary document holding the deleted bookmarks
// as they were; after its schedule array follows a trailer with, for each bookmark, when and why
// it was deleted, which readers of documents skip.
//
// Deletions are collected in the document (TrashLog) and reach the trash file only when the
// document is saved (CommitTrash): a deletion that is undone, or a document closed without
// saving, leaves no trace there.

#include "store/Bookmark.h"
#include "store/TimeFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

inline constexpr int kTrashKeepDays = 30;

enum class TrashReason : std::uint8_t {
    Deleted = 0,      // the user deleted it
    Merged = 1,       // another copy of the file no longer had it when merged
    Synced = 2,       // a sync with a linked file removed it
    Duplicate = 3,    // merged into another bookmark
    ConflictCopy = 4, // a synced folder's conflict copy no longer had it when merged
};

struct TrashEntry {
    CBookmark bookmark;
    BrxTime deleted = 0;
    TrashReason reason = TrashReason::Deleted;
    std::string detail; // e.g. the conflict copy's file name
};

// The deletions since the document was last saved. A Scope names why the deletions made while
// it lives happen (a sync, a conflict copy); without one a merge counts as Merged and anything
// else as Deleted.
class TrashLog {
  public:
    class Scope {
      public:
        Scope(TrashLog& log, TrashReason reason, std::string detail = {});
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        TrashLog& m_log;
        bool m_wasActive;
        TrashReason m_reason;
        std::string m_detail;
    };

    void Add(const BookmarkRef& b, TrashReason fallback = TrashReason::Deleted);
    const std::vector<TrashEntry>& Entries() const { return m_entries; }
    std::vector<TrashEntry> Take() { return std::move(m_entries); }
    // Entries a failed save could not keep go back before the newer ones.
    void PutBack(std::vector<TrashEntry> entries);
    void Clear() { m_entries.clear(); }

  private:
    std::vector<TrashEntry> m_entries;
    bool m_active = false;
    TrashReason m_reason = TrashReason::Deleted;
    std::string m_detail;
};

// $XDG_DATA_HOME/brindle/trash (~/.local/share when unset).
std::string TrashFolder();
// $XDG_STATE_HOME/brindle (~/.local/state when unset).
std::string StateFolder();
// "<file name without .brx>-<16 hex digits of a hash of the canonical path>": the name under
// which a document's trash and state are kept.
std::string DocumentKey(const std::string& documentPath);
// The trash file of the document at `documentPath`.
std::string TrashFileFor(const std::string& documentPath);

// One document's trash file.
class Trash {
  public:
    // Reads the file; a missing file is an empty trash. False when it cannot be read.
    bool Load(const std::string& path);
    // Writes it atomically (creating the folder); returns 0 or an errno value.
    int Save(const std::string& path) const;

    const std::vector<TrashEntry>& Entries() const { return m_entries; }
    void Append(std::vector<TrashEntry> entries);
    // Drops the entries deleted before `cutoff`; how many went.
    std::size_t DropOlderThan(BrxTime cutoff);
    // Adds the chosen entries (indices into Entries()) back to `doc` and takes them out of the
    // trash; a bookmark whose name and URL the document holds already is only taken out. How
    // many were added.
    std::size_t Restore(const std::vector<std::size_t>& which, CBrindleDoc& doc);
    // Takes out one entry equal to each of `entries` (name, URL, when and why): those restored
    // from another reading of the file, applied to a fresh one after the document's save.
    void Forget(const std::vector<TrashEntry>& entries);

  private:
    std::vector<TrashEntry> m_entries;
};

// Moves what the document deleted since its last save, minus what it holds again (an undone
// delete), into the trash of `documentPath` and drops entries past kTrashKeepDays. Called after
// each successful save; 0 or an errno value (the deletions then stay for the next save).
int CommitTrash(CBrindleDoc& doc, const std::string& documentPath);

// Removes the conflict copies of the document kept in the trash folder for more than
// kTrashKeepDays ("<key>.<copy name>", see MergeConflictCopies).
void DropOldConflictCopies(const std::string& documentPath);

// The text that says why an entry was deleted (translated by the views).
const char* TrashReasonText(TrashReason reason);

} // namespace brindle
