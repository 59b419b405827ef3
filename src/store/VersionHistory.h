// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The last few versions of a document file that this machine read or wrote, kept on disk under
// $XDG_STATE_HOME/brindle/<document key>/ (see DocumentKey): "vNNNNNNNNNNNNNNNN.brx" copies,
// newest with the highest number, each with a ".stamp" beside it naming the state of the
// document file it was taken from. The newest is the base of the window's three-way merges;
// the older ones let a conflict copy find the version both copies started from.
//
// Every copy is written through a temporary file and a rename, so a crash leaves either the
// old or the new newest version. Nothing of a version stays in memory.

#include "store/DocumentSync.h"

#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class VersionHistory {
  public:
    static constexpr std::size_t kKeep = 4;

    explicit VersionHistory(const std::string& documentPath);

    // The copies, newest first.
    std::vector<std::string> Versions() const;
    // The newest copy, or empty when there is none.
    std::string Newest() const;
    // The state of the document file the newest copy was taken from.
    FileStamp NewestSource() const;

    // Takes the document file's current bytes as the newest version (copied in the kernel, not
    // through memory). Nothing is copied when the newest copy was taken from this very state
    // of the file or holds the same bytes. 0 or an errno value.
    // `recorded` (when given) receives the copy that holds those bytes.
    int RecordFile(const std::string& documentPath, std::string* recorded = nullptr);
    // The same with bytes already read, `stamp` being the state of the file they came from.
    int RecordBytes(std::string_view bytes, const FileStamp& stamp,
                    std::string* recorded = nullptr);

    // A name of this process's own for the copy `version` (a hard link, so that neither a
    // newer version nor the pruning of old ones changes what it holds): the window's merge
    // base, which other programs recording versions of the same file must not move. Replaced
    // atomically; empty on failure.
    std::string Pin(const std::string& version) const;
    // Removes this process's pinned base, and those of processes that no longer run.
    void Unpin() const;

    // Whether the two files, or the bytes and the file, hold the same bytes (read in pieces).
    static bool SameContent(const std::string& a, const std::string& b);
    static bool SameBytes(std::string_view bytes, const std::string& file);

  private:
    std::string Next() const;
    int WriteStamp(const std::string& version, const FileStamp& stamp) const;
    void Prune() const;

    std::string m_folder;
};

} // namespace brindle
