// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmark Properties without its dialog: the copies the property sheet edits, and taking the
// edited copies back on OK (the modified flag, the result lists and the views follow).

#include "store/BrindleDoc.h"

#include <algorithm>

using brindle::BookmarkRecord;

void CBrindleDoc::CopyBookmarks(const brindle::BookmarkList& source, BookmarkCopies& target) {
    target.reserve(target.size() + source.size());
    for (const BookmarkRef b : source)
        target.push_back(std::make_unique<CBookmark>(
            std::string(b.m_strName), std::string(b.m_strURL), b.m_strKeywords,
            std::string(b.m_strDescription), std::string(b.m_strNotes), b.m_wStatusChecking,
            std::string(b.m_strSchedule), std::string(b.m_strStatus), b.m_tAddDate,
            b.m_tLastVisited, b.m_tLastModified, b.m_tLastChecked));
}

CBrindleDoc::BookmarkCopies CBrindleDoc::PreparePropertyCopies(std::uint32_t index) {
    PrepareProperties(index);
    BookmarkCopies copies;
    CopyBookmarks(m_arrBookmarks, copies);
    return copies;
}

void CBrindleDoc::PrepareProperties(std::uint32_t index) {
    if (index < m_arrBookmarks.size() &&
        !ScheduleExists(m_arrBookmarks.Record(index).Text(BookmarkRecord::kSchedule))) {
        BookmarkRef values = m_arrBookmarks[index];
        values.m_strSchedule = kNoSchedule;
        Rewrite(index, values, nullptr);
        ForgetDerivedData(); // a field changed: orderings and search copies are stale
    }
}

void CBrindleDoc::ApplyPropertyCopies(BookmarkCopies& copies) {
    const std::size_t n = std::min(copies.size(), m_arrBookmarks.size());
    std::vector<std::uint32_t> changed;
    bool keywordsChanged = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!copies[i] || copies[i]->Equals(m_arrBookmarks[i]))
            continue;
        keywordsChanged |= copies[i]->m_strKeywords != m_arrBookmarks[i].m_strKeywords;
        SetModifiedFlag(true);
        Rewrite(static_cast<std::uint32_t>(i), *copies[i], &copies[i]->m_arrKeywords);
        changed.push_back(static_cast<std::uint32_t>(i));
    }
    copies.clear();
    // A few edits (the usual OK of the sheet): each changed bookmark leaves the result and
    // comes back at its sorted place if it still matches, which gives what the search again
    // would give without ordering the whole collection.
    constexpr std::size_t kFewEdits = 64;
    if (changed.size() > kFewEdits) {
        RerunLastSearch();
    } else {
        bool membershipChanged = false;
        // A search leaves the other mode's list empty.
        (m_nSearchMode == kSearchKeyword ? m_arrStringHits : m_arrKeywordHits).clear();
        for (std::uint32_t index : changed) {
            Hits& active = MutableActiveHits();
            const auto it = std::find(active.begin(), active.end(), index);
            const bool wasHit = it != active.end();
            if (wasHit)
                active.erase(it);
            const bool isHit = MatchesSearch(index, true);
            if (isHit) {
                // Among equal entries a search keeps collection order.
                std::size_t at = brindle::ResultOrder::InsertPosition(
                    active, index, m_arrBookmarks, m_nSortColumn, m_bSortAscending != 0);
                while (at > 0 && active[at - 1] > index &&
                       brindle::CompareByField(m_arrBookmarks.Record(active[at - 1]),
                                               m_arrBookmarks.Record(index), m_nSortColumn) == 0)
                    --at;
                active.insert(active.begin() + static_cast<std::ptrdiff_t>(at), index);
            }
            membershipChanged |= wasHit != isHit;
        }
        const bool dictionary =
            m_nSearchMode == kSearchKeyword && (keywordsChanged || membershipChanged);
        if (dictionary)
            RebuildDictionary();
        Notify([](DocListener& l) { l.ReloadRows(); });
        if (dictionary)
            Notify([](DocListener& l) { l.RefillKeywords(); });
        const SearchCounts counts = Counts();
        Notify([&](DocListener& l) { l.CountsChanged(counts); });
    }
    MaybeCompact();
}
