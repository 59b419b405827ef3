// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::size_t kSuffixLength = 8;
constexpr char kSuffixChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// The temporary file's name for a target called `name`, before its random suffix.
std::string TempPrefix(const std::string& name) {
    // Leave room for the prefix and suffix within the file-name limit.
    return "." + name.substr(0, NAME_MAX - 20) + ".";
}

std::string RandomSuffix() {
    static std::mt19937_64 rng(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        static_cast<std::uint64_t>(::getpid()));
    std::string s(kSuffixLength, 'x');
    for (char& c : s)
        c = kSuffixChars[rng() % (sizeof(kSuffixChars) - 1)];
    return s;
}

} // namespace

AtomicFile::AtomicFile(std::string path, WriteFunction write)
    : m_path(std::move(path)), m_write(std::move(write)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

int AtomicFile::Open() {
    if (m_path.empty() || m_path.back() == '/')
        return ENOENT;
    m_target = m_path;
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* real = ::realpath(m_path.c_str(), nullptr)) {
            m_target = real;
            std::free(real);
        }
    }
    bool exists = false;
    mode_t mode = 0;
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        if (!S_ISREG(st.st_mode)) {
            // A device or a pipe cannot be replaced: the bytes go straight into it.
            m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC);
            if (m_fd < 0)
                return errno;
            m_direct = true;
            return 0;
        }
        if (::access(m_target.c_str(), W_OK) != 0)
            return errno; // a read-only file stays read-only
        exists = true;
        mode = st.st_mode & 07777;
    }
    const std::string folder = FolderOf(m_target);
    const std::string prefix = TempPrefix(NameOf(m_target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder + "/" + prefix + RandomSuffix();
        // 0666 less the umask, as for any new file; an existing file's mode is copied below.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        m_fd = fd;
        m_tempPath = std::move(temp);
        if (exists)
            (void)::fchmod(m_fd, mode);
        return 0;
    }
    return EEXIST;
}

int AtomicFile::Write(const char* data, std::size_t size) {
    if (m_fd < 0)
        return EBADF;
    while (size > 0) {
        const long n = m_write ? m_write(m_fd, data, size) : ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int AtomicFile::Commit() {
    if (m_fd < 0)
        return EBADF;
    if (m_direct) {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }
    if (::fsync(m_fd) != 0) {
        const int err = errno;
        Discard();
        return err;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return err;
    }
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        const int err = errno;
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return err;
    }
    m_tempPath.clear();
    // Make the rename itself durable; a failure here no longer endangers either file.
    const int dir = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return 0;
}

void AtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

namespace {

// Large enough that the system calls vanish in the cost of producing the text, small enough to
// keep a writer's memory flat.
constexpr std::size_t kFlushBytes = std::size_t(1) << 20;

} // namespace

BufferedAtomicFile::BufferedAtomicFile(std::string path, WriteFunction write)
    : m_file(std::move(path), std::move(write)) {}

int BufferedAtomicFile::Open() {
    m_error = m_file.Open();
    if (m_error == 0)
        m_buffer.reserve(kFlushBytes + kFlushBytes / 4);
    return m_error;
}

void BufferedAtomicFile::Flush(bool always) {
    if (!always && m_buffer.size() < kFlushBytes)
        return;
    if (m_error == 0)
        m_error = m_file.Write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

void BufferedAtomicFile::Write(std::string_view bytes) {
    Flush(true);
    if (m_error == 0)
        m_error = m_file.Write(bytes.data(), bytes.size());
}

int BufferedAtomicFile::Commit() {
    Flush(true);
    if (m_error != 0) {
        m_file.Discard();
        return m_error;
    }
    m_error = m_file.Commit();
    return m_error;
}

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
    BufferedAtomicFile file(path);
    if (const int err = file.Open())
        return err;
    file.Write(bytes);
    return file.Commit();
}

int RemoveStaleTemporaries(const std::string& path, std::chrono::seconds age) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // The temporaries sit beside the file a symbolic link points to, as Open makes them.
    fs::path target = fs::weakly_canonical(fs::path(path), ec);
    if (ec)
        target = path;
    const std::string prefix = TempPrefix(target.filename().string());
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    fs::directory_iterator it(target.parent_path().empty() ? fs::path(".") : target.parent_path(),
                              ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kSuffixLength || name.compare(0, prefix.size(), prefix))
            continue;
        if (name.find_first_not_of(kSuffixChars, prefix.size()) != std::string::npos)
            continue;
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc) || fileEc)
            continue;
        const auto written = it->last_write_time(fileEc);
        if (fileEc || now - written < age)
            continue;
        if (fs::remove(it->path(), fileEc))
            ++removed;
    }
    return removed;
}

} // namespace brindle
