// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the document reader. Each input is read from memory and,
// through a memory file, by the buffered file reader; both must agree. Whatever opens must
// write and read back to the same bytes. A damaged input may only fail with the format message.

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/FileErrors.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The input as a file the reader opens by path (no disk involved).
std::string MemoryFile(const std::uint8_t* data, std::size_t size, int& fd) {
    fd = ::memfd_create("brx", MFD_CLOEXEC);
    if (fd < 0)
        return {};
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            return {};
        done += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const brindle::ArchiveResult fromMemory = brindle::ReadDocumentBytes(doc, bytes);
    if (!fromMemory)
        Check(fromMemory.message == brindle::kUnexpectedFileFormat);

    int fd = -1;
    const std::string path = MemoryFile(data, size, fd);
    if (!path.empty()) {
        CBrindleDoc fromFile;
        const brindle::ArchiveResult r = brindle::ReadDocumentFile(fromFile, path);
        Check(r.ok == fromMemory.ok && r.message == fromMemory.message);
        if (r.ok)
            Check(brindle::DocumentToBytes(fromFile) == brindle::DocumentToBytes(doc));
    }
    if (fd >= 0)
        ::close(fd);

    if (fromMemory) {
        const std::string written = brindle::DocumentToBytes(doc);
        CBrindleDoc back;
        Check(static_cast<bool>(brindle::ReadDocumentBytes(back, written)));
        Check(brindle::DocumentToBytes(back) == written);
        Check(back.Bookmarks().size() == doc.Bookmarks().size());
    }
    return 0;
}
