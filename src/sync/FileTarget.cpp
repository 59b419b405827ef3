// SPDX-License-Identifier: GPL-3.0-or-later
// A linked file on a path, with the lock file beside it.

#include "exchange/ExchangeFiles.h"
#include "store/AtomicFile.h"
#include "sync/SyncTarget.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace brindle {

std::string LockText() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return "brindle " + std::string(host) + ' ' + std::to_string(::getpid()) + '\n';
}

bool IsOwnDeadLock(std::string_view text) {
    // "brindle HOST PID"
    constexpr std::string_view kHead = "brindle ";
    if (text.substr(0, kHead.size()) != kHead)
        return false;
    text.remove_prefix(kHead.size());
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return false;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    if (text.substr(0, blank) != host)
        return false;
    long pid = 0;
    for (const char c : text.substr(blank + 1)) {
        if (c < '0' || c > '9')
            break;
        pid = pid * 10 + (c - '0');
        if (pid > 1L << 30)
            return false;
    }
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool IsWebAddress(std::string_view address) {
    return address.starts_with("http://") || address.starts_with("https://") ||
           address.starts_with("webdav://") || address.starts_with("webdavs://");
}

namespace {

class FileTarget final : public SyncTarget {
  public:
    explicit FileTarget(std::string path) : m_path(std::move(path)), m_lock(m_path + ".lock") {}
    ~FileTarget() override { Unlock(); }

    std::string Address() const override { return m_path; }

    TargetResult Read(std::string& bytes, bool& exists) override {
        exists = FileExists(m_path);
        bytes.clear();
        if (!exists)
            return TargetResult::Ok();
        if (!ReadWholeFile(m_path, bytes))
            return TargetResult::Fail("cannot read " + m_path);
        return TargetResult::Ok();
    }

    bool Stamp(TargetStamp& stamp) override {
        struct stat info {};
        if (::stat(m_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        stamp.size = static_cast<std::uint64_t>(info.st_size);
        stamp.modifiedNs =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        return stamp.modifiedNs != 0;
    }

    TargetResult Write(std::string_view bytes) override {
        if (!PrepareFolderFor(m_path))
            return TargetResult::Fail("cannot create the folder of " + m_path);
        const int error = WriteFileAtomically(m_path, bytes);
        if (error != 0)
            return TargetResult::Fail("cannot write " + m_path + ": " + std::strerror(error));
        return TargetResult::Ok();
    }

    TargetResult WriteParts(const std::function<void(const PartSink& put)>& produce) override {
        if (!PrepareFolderFor(m_path))
            return TargetResult::Fail("cannot create the folder of " + m_path);
        BufferedAtomicFile file(m_path);
        int error = file.Open();
        if (error == 0) {
            produce([&file](std::string_view part) { file.Write(part); });
            error = file.Commit();
        }
        if (error != 0)
            return TargetResult::Fail("cannot write " + m_path + ": " + std::strerror(error));
        return TargetResult::Ok();
    }

    TargetResult Lock(std::chrono::milliseconds wait) override {
        const auto until = std::chrono::steady_clock::now() + wait;
        if (!PrepareFolderFor(m_path))
            return TargetResult::Fail("cannot create the folder of " + m_path);
        for (;;) {
            const int fd = ::open(m_lock.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                const std::string text = LockText();
                const bool written =
                    ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
                ::close(fd);
                if (!written) {
                    ::unlink(m_lock.c_str());
                    return TargetResult::Fail("cannot write the lock " + m_lock);
                }
                m_held = true;
                m_taken = std::chrono::steady_clock::now();
                return TargetResult::Ok();
            }
            if (errno != EEXIST)
                return TargetResult::Fail("cannot make the lock " + m_lock + ": " +
                                          std::strerror(errno));
            if (Stale()) {
                ::unlink(m_lock.c_str());
                continue;
            }
            if (std::chrono::steady_clock::now() >= until)
                return TargetResult::Fail("another program holds the lock " + m_lock);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }

    void RefreshLock() override {
        if (m_held && std::chrono::steady_clock::now() - m_taken >= kLockRefresh) {
            WriteFileInPlace(m_lock, LockText());
            m_taken = std::chrono::steady_clock::now();
        }
    }

    void Unlock() override {
        if (m_held)
            ::unlink(m_lock.c_str());
        m_held = false;
    }

  private:
    bool Stale() const {
        struct stat info {};
        if (::stat(m_lock.c_str(), &info) != 0)
            return false;
        if (std::time(nullptr) - info.st_mtime > kStaleLockAge.count())
            return true;
        std::string text;
        return ReadWholeFile(m_lock, text) && IsOwnDeadLock(text);
    }

    std::string m_path;
    std::string m_lock;
    bool m_held = false;
    std::chrono::steady_clock::time_point m_taken;
};

} // namespace

std::unique_ptr<SyncTarget> MakeFileTarget(const std::string& path) {
    return std::make_unique<FileTarget>(path);
}

} // namespace brindle
