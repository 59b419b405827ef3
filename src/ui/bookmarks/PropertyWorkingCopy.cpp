// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/PropertyWorkingCopy.h"

#include "store/BookmarkList.h"
#include "store/TextUtil.h"

namespace brindle {

std::string SheetKeywordText(std::string_view text) {
    std::string out = ToLower(text);
    for (char& c : out)
        if (c == '.' || c == '(' || c == ')' || c == '&' || c == '|' || c == '!')
            c = ' ';
    return Trim(out);
}

BookmarkRef PropertyWorkingCopy::Entry(std::uint32_t i) const {
    const auto it = m_edited.find(i);
    if (it != m_edited.end())
        return it->second;
    if (i >= m_doc.Bookmarks().size())
        return {};
    return m_doc.Bookmarks()[i];
}

std::int64_t PropertyWorkingCopy::FindOtherByName(std::uint32_t n, std::string_view name) const {
    const auto& records = m_doc.Bookmarks().Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i == n)
            continue;
        const auto it = m_edited.find(static_cast<std::uint32_t>(i));
        const std::string_view other = it != m_edited.end()
                                           ? std::string_view(it->second.m_strName)
                                           : records[i].Text(BookmarkRecord::kName);
        if (other == name)
            return static_cast<std::int64_t>(i);
    }
    return -1;
}

PropertyWorkingCopy::StoreResult PropertyWorkingCopy::Store(std::uint32_t n,
                                                            PropertyValues values) {
    if (n >= Size() || Stale())
        return StoreResult::SameNameAndUrl; // nothing can be stored
    std::string name = Trim(values.name);
    if (name.empty())
        return StoreResult::EmptyName;
    const std::string keywords = SheetKeywordText(values.keywords);
    for (;;) {
        const std::int64_t other = FindOtherByName(n, name);
        if (other < 0)
            break;
        if (Entry(static_cast<std::uint32_t>(other)).m_strURL == values.url)
            return StoreResult::SameNameAndUrl;
        name += '0';
    }
    const BookmarkRef old = Entry(n);
    CBookmark entry(std::move(name), std::move(values.url), keywords, std::move(values.description),
                    std::move(values.notes), values.statusChecking, std::move(values.schedule),
                    std::move(values.status), old.m_tAddDate, old.m_tLastVisited,
                    old.m_tLastModified, old.m_tLastChecked);
    m_edited.insert_or_assign(n, std::move(entry));
    return StoreResult::Stored;
}

void PropertyWorkingCopy::ApplyTo(CBrindleDoc& doc) {
    if (Stale() || &doc != &m_doc) {
        m_edited.clear();
        return;
    }
    // The document skips the entries left empty and those stored back unchanged.
    CBrindleDoc::BookmarkCopies copies(doc.Bookmarks().size());
    for (auto& [index, bookmark] : m_edited)
        if (index < copies.size())
            copies[index] = std::make_unique<CBookmark>(std::move(bookmark));
    m_edited.clear();
    doc.ApplyPropertyCopies(copies);
}

} // namespace brindle
