// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The advisory lock that every program writing a document holds from reading it to the end of
// its save, so that two writers never interleave. It is an flock() on a hidden lock file beside
// the document: the document itself is replaced by each atomic save, so a lock on it would be
// held on a file that is no longer there. The system drops the lock when its holder ends, however
// it ends; the lock file itself stays and means nothing on its own.

#include <chrono>
#include <string>

namespace brindle {

class DocumentLock {
  public:
    // How long a writer waits for another one before it gives up.
    static constexpr std::chrono::milliseconds kDefaultWait{10000};
    // Taking the lock removes the document's save temporaries older than this.
    static constexpr std::chrono::seconds kStaleTemporaryAge{3600};

    enum class State {
        Unlocked,
        Held,      // this object holds the lock
        Busy,      // another holder kept it for the whole wait
        Unlockable // no lock file can be made beside the document (a read-only folder)
    };

    DocumentLock() = default;
    ~DocumentLock() { Release(); }
    DocumentLock(const DocumentLock&) = delete;
    DocumentLock& operator=(const DocumentLock&) = delete;
    DocumentLock(DocumentLock&& other) noexcept;
    DocumentLock& operator=(DocumentLock&& other) noexcept;

    // Takes the lock of the document at `path`, waiting up to `wait` for another holder.
    State Acquire(const std::string& path, std::chrono::milliseconds wait = kDefaultWait);
    void Release();
    bool Held() const { return m_fd >= 0; }

    // The lock file of a document: ".NAME.lock" in the document's folder (symbolic links
    // followed, so that every name of one document shares one lock).
    static std::string LockPath(const std::string& documentPath);

  private:
    int m_fd = -1;
};

// The message for a writer that gave up waiting; %1 stands for the document's name.
inline constexpr const char* kDocumentBusy =
    "%1 is being written by another program; nothing was saved.";

} // namespace brindle
