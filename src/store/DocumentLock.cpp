// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DocumentLock.h"

#include "store/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace brindle {

DocumentLock::DocumentLock(DocumentLock&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

DocumentLock& DocumentLock::operator=(DocumentLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

std::string DocumentLock::LockPath(const std::string& documentPath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p(documentPath);
    const fs::path resolved = fs::weakly_canonical(p, ec);
    if (!ec)
        p = resolved;
    return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

DocumentLock::State DocumentLock::Acquire(const std::string& path, std::chrono::milliseconds wait) {
    Release();
    // Close-on-exec: a program started by the holder must not keep the lock after it ends.
    const int fd = ::open(LockPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return State::Unlockable;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            // Only a writer holding the lock may tidy up: the temporaries of a save killed
            // half-way hold up to the document's size each and nothing else removes them.
            RemoveStaleTemporaries(path, kStaleTemporaryAge);
            return State::Held;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return State::Unlockable;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return State::Busy;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void DocumentLock::Release() {
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

} // namespace brindle
