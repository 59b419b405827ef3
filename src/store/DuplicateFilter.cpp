// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DuplicateFilter.h"

#include "store/BrindleDoc.h"
#include "store/UrlNormalForm.h"

#include <functional>
#include <string_view>

namespace brindle {

namespace {
std::uint64_t Hash(const std::string& key) {
    return std::hash<std::string_view>()(key);
}
} // namespace

DuplicateFilter::DuplicateFilter(CBrindleDoc& doc) : m_doc(doc) {
    const std::size_t n = doc.Bookmarks().size();
    m_known.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        Learn(static_cast<std::uint32_t>(i));
}

void DuplicateFilter::Learn(std::uint32_t index) {
    SameUrlKey(m_doc.Bookmarks()[index].m_strURL, m_other);
    m_known.emplace(Hash(m_other), index);
}

bool DuplicateFilter::Known(std::uint64_t hash, const std::string& key) {
    const auto [first, last] = m_known.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (it->second >= m_doc.Bookmarks().size())
            continue;
        SameUrlKey(m_doc.Bookmarks()[it->second].m_strURL, m_other);
        if (m_other == key)
            return true;
    }
    return false;
}

bool DuplicateFilter::Add(const BookmarkFields& fields) {
    SameUrlKey(fields.url, m_key);
    const std::uint64_t hash = Hash(m_key);
    if (Known(hash, m_key)) {
        ++m_skipped;
        return false;
    }
    if (!m_doc.AddBookmark(fields))
        return false;
    m_known.emplace(hash, static_cast<std::uint32_t>(m_doc.Bookmarks().size() - 1));
    return true;
}

} // namespace brindle
