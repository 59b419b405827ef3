// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DocumentSync.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"
#include "store/FileErrors.h"

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

std::size_t HashOf(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
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
    out.hash = HashOf(out.bytes);
    return true;
}

void DocumentSync::Remember(Snapshot snapshot) {
    m_base = std::move(snapshot);
}

void DocumentSync::Forget() {
    m_path.clear();
    m_base = Snapshot{};
}

void DocumentSync::Wrap(const std::function<void()>& change) {
    if (m_wrap)
        m_wrap(change);
    else
        change();
}

ArchiveResult DocumentSync::Open(const std::string& path) {
    Snapshot snapshot;
    int error = 0;
    if (!ReadSnapshot(path, snapshot, error)) {
        // The ordinary open gives the message and leaves the empty document behind.
        Forget();
        return OpenDocumentFile(m_doc, path);
    }
    m_doc.DeleteContents();
    m_doc.SetModifiedFlag(true); // dirty while reading
    ArchiveResult result = ReadDocumentBytes(m_doc, snapshot.bytes);
    if (!result) {
        m_doc.DeleteContents();
        m_doc.SetModifiedFlag(false);
        m_doc.NotifyRebuild();
        Forget();
        return result;
    }
    m_path = path;
    Remember(std::move(snapshot));
    return result;
}

bool DocumentSync::ChangedSnapshot(Snapshot& out) const {
    if (m_path.empty())
        return false;
    const FileStamp now = FileStamp::Of(m_path);
    // A missing file is being replaced, or was deleted: nothing to take from it.
    if (!now.exists || now == m_base.stamp)
        return false;
    int error = 0;
    if (!ReadSnapshot(m_path, out, error))
        return false;
    return out.hash != m_base.hash || out.bytes != m_base.bytes;
}

bool DocumentSync::MergeFrom(const std::string& theirs, MergeReport& report) {
    // The two copies are read side by side.
    CBrindleDoc baseDoc(m_doc.Prefs());
    auto baseRead =
        std::async(std::launch::async, [&] { return ReadDocumentBytes(baseDoc, m_base.bytes); });
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
    if (!ChangedSnapshot(snapshot)) {
        if (snapshot.stamp.exists && snapshot.hash == m_base.hash)
            m_base.stamp = snapshot.stamp; // the same bytes again (a touch, a rewrite)
        return result;
    }
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
    Remember(std::move(snapshot));
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
        Remember(std::move(snapshot));
    }
    result.ok = write();
    if (result.ok) {
        Snapshot written;
        written.bytes = DocumentToBytes(m_doc);
        written.hash = HashOf(written.bytes);
        written.stamp = FileStamp::Of(path);
        m_path = path;
        Remember(std::move(written));
    }
    if (result.sync.outcome == SyncOutcome::Merged && m_listener)
        m_listener(result.sync);
    return result;
}

} // namespace brindle
