// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Adds bookmarks to a document unless one with the same address normal form (UrlNormalForm.h)
// is there already: the document's own, or one this filter added before. An import that skips
// duplicates hands each bookmark to Add instead of the document.

#include "store/Bookmark.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class CBrindleDoc;

namespace brindle {

class DuplicateFilter {
  public:
    // Learns the normal forms of the document's bookmarks.
    explicit DuplicateFilter(CBrindleDoc& doc);
    // The document's AddBookmark unless the address is a duplicate; false when the bookmark was
    // skipped or the document refused it.
    bool Add(const BookmarkFields& fields);
    // Bookmarks Add skipped for their address.
    int Skipped() const { return m_skipped; }

  private:
    bool Known(std::uint64_t hash, const std::string& key);
    void Learn(std::uint32_t index);

    CBrindleDoc& m_doc;
    // Hash of a normal form -> bookmark index; a hash that meets is checked against the text.
    std::unordered_multimap<std::uint64_t, std::uint32_t> m_known;
    std::string m_key;
    std::string m_other;
    int m_skipped = 0;
};

} // namespace brindle
