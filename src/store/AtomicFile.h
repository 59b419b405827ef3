// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Atomic replacement of a file: the bytes go to a temporary file in the
// target's folder, which is flushed to the disk and then renamed over the target. A failed or
// interrupted write leaves the previous file as it was. An existing device or pipe (not a regular
// file) is written in place instead: it cannot be replaced, and must never be.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

// A buffered front over AtomicFile for writers that produce a file in pieces (the exports): they
// append text to Buffer() and call Flush() between records, which hands the buffer to the file
// once it has grown large, so memory stays flat however long the file gets. The file is as
// durable as a document save: synced, then renamed over the target.
class BufferedAtomicFile {
  public:
    explicit BufferedAtomicFile(std::string path, WriteFunction write = {});

    // 0 or the errno value of the failure (as AtomicFile::Open).
    int Open();
    // Text appended here is written out by Flush, or by Commit.
    std::string& Buffer() { return m_buffer; }
    // Writes `bytes` after what the buffer holds.
    void Write(std::string_view bytes);
    // Writes the buffer out once it has grown large; `always` writes it out now.
    void Flush(bool always = false);
    // Writes what is left and puts the file in place: 0, or the errno value of the first failure
    // (after which the target is as it was and the temporary file is gone).
    int Commit();

  private:
    AtomicFile m_file;
    std::string m_buffer;
    int m_error = 0; // the first failed write; later writes are skipped
};

// Replaces the file at `path` with `bytes` in one step: 0 or the errno value of the failure.
int WriteFileAtomically(const std::string& path, std::string_view bytes);

// Removes the temporary files that writes of `path` left behind when they were killed half-way
// (".NAME.XXXXXXXX" beside it) and that are older than `age`; younger ones may belong to a write
// in progress. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path, std::chrono::seconds age);

} // namespace brindle
