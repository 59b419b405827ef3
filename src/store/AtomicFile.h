#pragma once
// Atomic replacement of a file: the bytes go to a temporary file in the
// target's folder, which is flushed to the disk and then renamed over the target. A failed or
// interrupted write leaves the previous file as it was. An existing device or pipe (not a regular
// file) is written in place instead: it cannot be replaced, and must never be.

#include <cstddef>
#include <functional>
#include <string>

namespace brindle {

// Stands in for ::write (same contract: bytes written, or -1 with errno set). Tests pass a device
// that fails; the default is the operating system's write.
using WriteFunction = std::function<long(int fd, const char* data, std::size_t size)>;

class AtomicFile {
  public:
    explicit AtomicFile(std::string path, WriteFunction write = {});
    ~AtomicFile(); // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each returns 0 or the errno value of the failure.
    int Open();
    int Write(const char* data, std::size_t size);
    int Commit();
    void Discard();

    const std::string& TempPath() const { return m_tempPath; }

  private:
    std::string m_path;
    std::string m_target; // the file a symbolic link at m_path points to, else m_path
    std::string m_tempPath;
    WriteFunction m_write;
    int m_fd = -1;
    bool m_direct = false; // an existing device or pipe, written in place
};

} // namespace brindle
