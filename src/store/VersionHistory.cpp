// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/VersionHistory.h"

#include "store/AtomicFile.h"
#include "store/Trash.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".brx";

std::string StampText(const FileStamp& s) {
    char text[160];
    std::snprintf(text, sizeof text, "%llu %lld %llu %llu\n",
                  static_cast<unsigned long long>(s.size), static_cast<long long>(s.modifiedNs),
                  static_cast<unsigned long long>(s.device),
                  static_cast<unsigned long long>(s.inode));
    return text;
}

std::string StampPath(const std::string& version) {
    return version.substr(0, version.size() - kExtension.size()) + ".stamp";
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads up to `size` bytes; fewer only at the end of the file.
ssize_t ReadFull(int fd, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

VersionHistory::VersionHistory(const std::string& documentPath)
    : m_folder(StateFolder() + "/" + DocumentKey(documentPath)) {}

std::vector<std::string> VersionHistory::Versions() const {
    std::vector<std::string> versions;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(m_folder, ec)) {
        const std::string name = e.path().filename().string();
        // "v" + 16 digits + ".brx"; temporaries start with a dot.
        if (name.size() == 1 + 16 + kExtension.size() && name[0] == 'v' &&
            name.ends_with(kExtension))
            versions.push_back(e.path().string());
    }
    std::sort(versions.rbegin(), versions.rend());
    return versions;
}

std::string VersionHistory::Newest() const {
    const std::vector<std::string> versions = Versions();
    return versions.empty() ? std::string() : versions.front();
}

FileStamp VersionHistory::NewestSource() const {
    const std::string newest = Newest();
    FileStamp s;
    if (newest.empty())
        return s;
    std::ifstream in(StampPath(newest));
    unsigned long long size = 0, device = 0, inode = 0;
    long long modified = 0;
    if (in >> size >> modified >> device >> inode) {
        s.exists = true;
        s.size = size;
        s.modifiedNs = modified;
        s.device = device;
        s.inode = inode;
    }
    return s;
}

std::string VersionHistory::Next() const {
    unsigned long long number = 1;
    const std::string newest = Newest();
    if (!newest.empty())
        number = std::stoull(fs::path(newest).stem().string().substr(1)) + 1;
    char name[32];
    std::snprintf(name, sizeof name, "v%016llu", number);
    return m_folder + "/" + name + std::string(kExtension);
}

int VersionHistory::WriteStamp(const std::string& version, const FileStamp& stamp) const {
    return WriteFileAtomically(StampPath(version), StampText(stamp));
}

void VersionHistory::Prune() const {
    const std::vector<std::string> versions = Versions();
    std::error_code ec;
    for (std::size_t i = kKeep; i < versions.size(); ++i) {
        fs::remove(versions[i], ec);
        fs::remove(StampPath(versions[i]), ec);
    }
}

int VersionHistory::RecordBytes(std::string_view bytes, const FileStamp& stamp,
                                std::string* recorded) {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec)
        return ec.value();
    const std::string newest = Newest();
    if (!newest.empty() && SameBytes(bytes, newest)) {
        if (recorded)
            *recorded = newest;
        return WriteStamp(newest, stamp);
    }
    const std::string next = Next();
    if (const int err = WriteFileAtomically(next, bytes))
        return err;
    if (recorded)
        *recorded = next;
    const int err = WriteStamp(next, stamp);
    Prune();
    return err;
}

std::string VersionHistory::Pin(const std::string& version) const {
    const std::string pinned = m_folder + "/base-" + std::to_string(::getpid()) + ".brx";
    const std::string temporary = pinned + ".new";
    ::unlink(temporary.c_str());
    if (::link(version.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), pinned.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return {};
    }
    return pinned;
}

void VersionHistory::Unpin() const {
    std::error_code ec;
    const std::string own = "base-" + std::to_string(::getpid()) + ".brx";
    for (const fs::directory_entry& e : fs::directory_iterator(m_folder, ec)) {
        const std::string name = e.path().filename().string();
        if (!name.starts_with("base-"))
            continue;
        const long pid = std::strtol(name.c_str() + 5, nullptr, 10);
        if (name == own || (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            fs::remove(e.path(), ec);
    }
}

int VersionHistory::RecordFile(const std::string& documentPath, std::string* recorded) {
    Fd source{::open(documentPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (source.fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(source.fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    const FileStamp stamp = FileStamp::Of(documentPath);
    std::string newest = Newest();
    if (recorded)
        *recorded = newest;
    if (stamp.exists && stamp == NewestSource())
        return 0;
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec)
        return ec.value();
    if (!newest.empty() && SameContent(documentPath, newest))
        return WriteStamp(newest, stamp);
    const std::string next = Next();
    if (recorded)
        *recorded = next;
    AtomicFile file(next);
    if (const int err = file.Open())
        return err;
    Fd target{::open(file.TempPath().c_str(), O_WRONLY | O_CLOEXEC)};
    if (target.fd < 0)
        return errno;
    // In the kernel where it can (no copy of the document passes through this process).
    off_t left = st.st_size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(source.fd, nullptr, target.fd, nullptr,
                                            static_cast<std::size_t>(left), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        left -= n;
    }
    if (left > 0 && left != st.st_size)
        return EIO;
    if (left > 0) {
        // A file system without copy_file_range: through a small buffer.
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t n = ReadFull(source.fd, buffer.data(), buffer.size());
            if (n < 0)
                return errno;
            if (n == 0)
                break;
            if (const int err = file.Write(buffer.data(), static_cast<std::size_t>(n)))
                return err;
        }
    }
    if (const int err = file.Commit())
        return err;
    const int err = WriteStamp(next, stamp);
    Prune();
    return err;
}

bool VersionHistory::SameContent(const std::string& a, const std::string& b) {
    Fd fa{::open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    Fd fb{::open(b.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat sa {
    }, sb{};
    if (fa.fd < 0 || fb.fd < 0 || ::fstat(fa.fd, &sa) != 0 || ::fstat(fb.fd, &sb) != 0 ||
        sa.st_size != sb.st_size)
        return false;
    std::vector<char> ba(1 << 18), bb(1 << 18);
    for (;;) {
        const ssize_t na = ReadFull(fa.fd, ba.data(), ba.size());
        const ssize_t nb = ReadFull(fb.fd, bb.data(), bb.size());
        if (na < 0 || na != nb)
            return false;
        if (na == 0)
            return true;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) != 0)
            return false;
    }
}

bool VersionHistory::SameBytes(std::string_view bytes, const std::string& file) {
    Fd fd{::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st {};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) != bytes.size())
        return false;
    std::vector<char> buffer(1 << 18);
    std::size_t at = 0;
    for (;;) {
        const ssize_t n = ReadFull(fd.fd, buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            return at == bytes.size();
        if (at + static_cast<std::size_t>(n) > bytes.size() ||
            std::memcmp(buffer.data(), bytes.data() + at, static_cast<std::size_t>(n)) != 0)
            return false;
        at += static_cast<std::size_t>(n);
    }
}

} // namespace brindle
