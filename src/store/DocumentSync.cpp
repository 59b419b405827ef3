// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DocumentSync.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"
#include "store/FileErrors.h"
#include "store/VersionHistory.h"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.exists = true;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    return s;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FileStamp FileStamp::Of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return StampOf(st);
}

DocumentSync::DocumentSync(CBrindleDoc& doc) : m_doc(doc), m_lockWait(DocumentLock::kDefaultWait) {}

DocumentSync::~DocumentSync() {
    Forget();
}

bool DocumentSync::ReadSnapshot(const std::string& path, Snapshot& out, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = errno;
        return false;
    }
    out.stamp = StampOf(st);
    out.bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == out.bytes.size())
            out.bytes.resize(done + 65536); // the file grew while being read
        const ssize_t n = ::read(fd, out.bytes.data() + done, out.bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    out.bytes.resize(done);
    return true;
}

void DocumentSync::Remember(const Snapshot& snapshot) {
    // A base that cannot be written leaves the older one: a later merge then sees more changes
    // on both sides, which it keeps, rather than fewer.
    std::string version;
    if (VersionHistory(m_path).RecordBytes(snapshot.bytes, snapshot.stamp, &version) == 0)
        UseBase(version);
    m_stamp = snapshot.stamp;
}

void DocumentSync::UseBase(const std::string& version) {
    // Other programs (brindle-cli) record their versions of the same file in the same folder:
    // the window's base is its own name for the copy it read or wrote.
    const std::string pinned = VersionHistory(m_path).Pin(version);
    if (!pinned.empty())
        m_base = pinned;
}

void DocumentSync::Forget() {
    if (!m_path.empty())
        VersionHistory(m_path).Unpin();
    m_path.clear();
    m_base.clear();
    m_stamp = FileStamp{};
}

void DocumentSync::Wrap(const std::function<void()>& change) {
    if (m_wrap)
        m_wrap(change);
    else
        change();
}

ArchiveResult DocumentSync::Open(const std::string& path) {
    Forget();
    VersionHistory history(path);
    history.Unpin(); // bases of windows that ended without closing their document
    const FileStamp stamp = FileStamp::Of(path);
    // The file is copied to the base in the kernel and the document read from that copy, so
    // that base and document agree and the file's bytes never sit in memory as a whole.
    std::string base;
    if (!stamp.exists || history.RecordFile(path, &base) != 0 || history.NewestSource() != stamp)
        base.clear();
    if (base.empty()) {
        // The ordinary open gives the message, or reads a file whose base cannot be kept.
        const ArchiveResult result = OpenDocumentFile(m_doc, path);
        if (result)
            m_path = path; // no base: the next change merges against nothing
        return result;
    }
    m_doc.DeleteContents();
    m_doc.SetModifiedFlag(true); // dirty while reading
    ArchiveResult result = ReadDocumentFile(m_doc, base);
    if (!result) {
        // The message names the document, not its copy.
        Forget();
        return OpenDocumentFile(m_doc, path);
    }
    m_path = path;
    m_stamp = stamp;
    UseBase(base);
    return result;
}

bool DocumentSync::ChangedSnapshot(Snapshot& out) {
    if (m_path.empty())
        return false;
    const FileStamp now = FileStamp::Of(m_path);
    // A missing file is being replaced, or was deleted: nothing to take from it.
    if (!now.exists || now == m_stamp)
        return false;
    int error = 0;
    if (!ReadSnapshot(m_path, out, error))
        return false;
    if (!m_base.empty() && VersionHistory::SameBytes(out.bytes, m_base)) {
        Remember(out); // the same bytes again (a touch, a rewrite)
        return false;
    }
    return true;
}

bool DocumentSync::MergeFrom(const std::string& theirs, MergeReport& report) {
    // The two copies are read side by side.
    CBrindleDoc baseDoc(m_doc.Prefs());
    auto baseRead = std::async(std::launch::async, [&] {
        return m_base.empty() ? ArchiveResult::Success() : ReadDocumentFile(baseDoc, m_base);
    });
    CBrindleDoc theirsDoc(m_doc.Prefs());
    const bool theirsRead = static_cast<bool>(ReadDocumentBytes(theirsDoc, theirs));
    // A base that is no document (never the case for bytes this program read or wrote) merges
    // as an empty one: nothing of either side is lost.
    (void)baseRead.get();
    if (!theirsRead)
        return false;
    Wrap([&] { report = MergeDocuments(baseDoc, theirsDoc, m_doc); });
    return true;
}

SyncResult DocumentSync::Refresh() {
    SyncResult result;
    Snapshot snapshot;
    if (!ChangedSnapshot(snapshot))
        return result;
    if (!m_doc.IsModified()) {
        bool read = false;
        Wrap([&] {
            // How the window looks at the collection stays as it was.
            const CBrindleDoc::ViewState view = m_doc.CurrentViewState();
            read = static_cast<bool>(ReadDocumentBytes(m_doc, snapshot.bytes));
            if (!read)
                return;
            m_doc.RestoreViewState(view);
            m_doc.ClearUndo(kUndoKeyword); // it named bookmark positions
            m_doc.RerunLastSearch();
        });
        result.outcome = read ? SyncOutcome::Reloaded : SyncOutcome::Unreadable;
    } else {
        result.outcome =
            MergeFrom(snapshot.bytes, result.merge) ? SyncOutcome::Merged : SyncOutcome::Unreadable;
    }
    if (result.outcome == SyncOutcome::Unreadable)
        return result; // a half-written copy: the next change of the file tries again
    // The document now holds everything the file holds: the file is the new common base.
    Remember(snapshot);
    if (m_listener)
        m_listener(result);
    return result;
}

DocumentSync::SaveResult DocumentSync::Save(const std::string& path,
                                            const std::function<bool()>& write) {
    SaveResult result;
    DocumentLock lock;
    if (lock.Acquire(path, m_lockWait) == DocumentLock::State::Busy) {
        result.message = FormatMessage1(kDocumentBusy, FileName(path));
        return result;
    }
    Snapshot snapshot;
    if (path == m_path && ChangedSnapshot(snapshot) &&
        MergeFrom(snapshot.bytes, result.sync.merge)) {
        result.sync.outcome = SyncOutcome::Merged;
        // Should the write fail, the document still holds the file's changes.
        Remember(snapshot);
    }
    snapshot = Snapshot{};
    result.ok = write();
    if (result.ok) {
        // The file written is the new base, copied from the file itself while the lock holds.
        if (path != m_path)
            Forget();
        m_path = path;
        VersionHistory history(path);
        std::string version;
        if (history.RecordFile(path, &version) == 0) {
            m_stamp = history.NewestSource();
            UseBase(version);
        } else {
            m_stamp = FileStamp{};
            m_base.clear();
        }
    }
    if (result.sync.outcome == SyncOutcome::Merged && m_listener)
        m_listener(result.sync);
    return result;
}

} // namespace brindle
