// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the window's document and its file in step when other programs write the file too
// (brindle-cli, another machine through a synced folder). It remembers the state (size, time and
// identity) of what the program last read from or wrote to the file, and keeps those bytes on
// disk as the base of a three-way merge (VersionHistory), read only when a merge happens. When
// the file changes, an unmodified document is read again and a modified one takes the outside
// changes by merging; a save that finds the file changed merges first, and every save holds the
// document's lock (DocumentLock).

#include "store/DocumentArchive.h"
#include "store/DocumentMerge.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class CBrindleDoc;

namespace brindle {

// What identifies one state of a file without reading it.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
    static FileStamp Of(const std::string& path);
};

enum class SyncOutcome {
    Unchanged,  // the file holds what was last read or written
    Reloaded,   // the unmodified document was read again
    Merged,     // the outside changes were merged into the document
    Unreadable, // the file changed but cannot be read as a document (yet)
};

struct SyncResult {
    SyncOutcome outcome = SyncOutcome::Unchanged;
    MergeReport merge; // when merged
};

class DocumentSync {
  public:
    explicit DocumentSync(CBrindleDoc& doc);
    ~DocumentSync();
    DocumentSync(const DocumentSync&) = delete;
    DocumentSync& operator=(const DocumentSync&) = delete;

    // Every change the file brings to the document runs inside `wrap` (the window keeps its
    // selection and scroll position around it).
    using ChangeWrapper = std::function<void(const std::function<void()>& change)>;
    void SetChangeWrapper(ChangeWrapper wrap) { m_wrap = std::move(wrap); }
    // Told after the document took outside changes (by Refresh or by a save).
    void SetListener(std::function<void(const SyncResult&)> listener) {
        m_listener = std::move(listener);
    }
    // How long a save waits for another writer's lock.
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    // The file followed; empty when none.
    const std::string& Path() const { return m_path; }

    // Opens FILE as the Open command does, reading its bytes once, and follows it.
    ArchiveResult Open(const std::string& path);
    // Follows no file (a new document).
    void Forget();

    // The watcher's step after the file changed on disk: an unmodified document is read again
    // (its search and view state stay), a modified one merges the outside changes and stays
    // modified.
    SyncResult Refresh();

    // A save to `path` by `write` (which writes the backups and the document and tells whether
    // the document itself was written). It holds the document's lock throughout; when `path` is
    // the file followed and that file changed since it was last read or written, the outside
    // changes are merged into the document first. A written `path` becomes the file followed.
    struct SaveResult {
        bool ok = false;
        std::string message; // why nothing was written (the lock); write failures show their own
        SyncResult sync;
    };
    SaveResult Save(const std::string& path, const std::function<bool()>& write);

  private:
    struct Snapshot {
        FileStamp stamp;
        std::string bytes;
    };
    // Reads the file's bytes with the stamp of the same file; false when it cannot be read.
    static bool ReadSnapshot(const std::string& path, Snapshot& out, int& error);
    // The file's current snapshot when its bytes differ from the base's.
    bool ChangedSnapshot(Snapshot& out);
    // The snapshot's bytes become the base.
    void Remember(const Snapshot& snapshot);
    // The version copy `version` becomes this window's base (pinned against other writers).
    void UseBase(const std::string& version);
    // Merges `theirs` (bytes of the file) into the document; false when they are no document.
    bool MergeFrom(const std::string& theirs, MergeReport& report);
    void Wrap(const std::function<void()>& change);

    CBrindleDoc& m_doc;
    std::string m_path;
    FileStamp m_stamp;  // of the file when the base was taken
    std::string m_base; // this window's pinned copy of the base; empty when none
    ChangeWrapper m_wrap;
    std::function<void(const SyncResult&)> m_listener;
    std::chrono::milliseconds m_lockWait;
};

} // namespace brindle
