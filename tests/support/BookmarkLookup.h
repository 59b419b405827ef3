// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a bookmark of a document by its name or its address.

#include "store/BrindleDoc.h"

#include <cstddef>
#include <string_view>

namespace testutil {

// A bookmark found in a document, or none; compared with nullptr as a pointer would be.
class FoundBookmark {
  public:
    FoundBookmark(std::nullptr_t = nullptr) {}
    explicit FoundBookmark(const BookmarkRef& b) : m_bookmark(b), m_found(true) {}
    const BookmarkRef* operator->() const { return &m_bookmark; }
    const BookmarkRef& operator*() const { return m_bookmark; }
    explicit operator bool() const { return m_found; }
    friend bool operator==(const FoundBookmark& f, std::nullptr_t) { return !f.m_found; }

  private:
    BookmarkRef m_bookmark;
    bool m_found = false;
};

inline FoundBookmark FindByName(const CBrindleDoc& doc, std::string_view name) {
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strName == name)
            return FoundBookmark(b);
    return nullptr;
}

inline FoundBookmark FindByUrl(const CBrindleDoc& doc, std::string_view url) {
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strURL == url)
            return FoundBookmark(b);
    return nullptr;
}

} // namespace testutil
