// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CKey: a serializable record of a keyword and the bookmarks that carry it. The
// program never creates one for itself nor stores one in the document file; the class exists so
// that an archive holding one can be read.

#include <cstdint>
#include <string>
#include <vector>

namespace brindle {
class ArchiveReader;
class ArchiveWriter;
} // namespace brindle

class CKey {
  public:
    std::string m_strKeyword;
    // Serializes itself as nothing: it is neither written nor read.
    std::vector<std::uint32_t> m_arrBookmarkIndices;

    // The keyword in the file's string encoding; the index array adds no bytes.
    void Serialize(brindle::ArchiveWriter& ar) const;
    void Serialize(brindle::ArchiveReader& ar);
};
