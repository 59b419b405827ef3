#include "store/BrindleDoc.h"

#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <ctime>

// Finds a bookmark by name and URL without scanning the collection. It is kept up to date by
// AddBookmark and rebuilt after any other change of the collection.
struct CBrindleDoc::DuplicateIndex {
    std::unordered_multimap<std::size_t, std::uint32_t> byKey;
    std::size_t size = 0;
    std::uint64_t stamp = 0;
    bool valid = false;

    static std::size_t Key(std::string_view name, std::string_view url) {
        const std::size_t a = std::hash<std::string_view>{}(name);
        const std::size_t b = std::hash<std::string_view>{}(url);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};

CBrindleDoc::CBrindleDoc(const CPreferences& prefs)
    : m_prefs(&prefs), m_duplicates(std::make_unique<DuplicateIndex>()) {}

const CPreferences& CPreferences::Defaults() {
    static const CPreferences defaults;
    return defaults;
}

CBrindleDoc::~CBrindleDoc() = default;

BrxTime CBrindleDoc::Now() {
    return static_cast<BrxTime>(std::time(nullptr));
}

void CBrindleDoc::AddListener(DocListener* listener) {
    if (listener &&
        std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CBrindleDoc::RemoveListener(DocListener* listener) {
    std::erase(m_listeners, listener);
}

void CBrindleDoc::ForgetDerivedData() {
    m_order.Invalidate();
    m_duplicates->valid = false;
    ++m_changeStamp;
}

void CBrindleDoc::SetModifiedFlag(bool modified) {
    m_bModified = modified;
    if (modified)
        ForgetDerivedData();
}

const std::string& CBrindleDoc::TimePattern() const {
    if (m_cachedPattern.empty() || m_cachedFormat != m_prefs->m_strTimeFormat) {
        m_cachedFormat = m_prefs->m_strTimeFormat;
        m_cachedPattern = brindle::ExpandTimeFormat(m_prefs->m_strTimeFormat);
    }
    return m_cachedPattern;
}

// --- Bookmarks -------------------------------------------------------------------------------

bool CBrindleDoc::AddBookmark(const BookmarkFields& f) {
    const std::string_view trimmedName = brindle::TrimView(f.name);
    const std::string_view url = f.url;
    if (trimmedName.empty())
        return false;
    std::vector<std::string> sortedKeywords;
    std::string keywordText = brindle::NormalizeKeywordText(brindle::TrimView(f.keywords),
                                                            /*commaDrops=*/true, &sortedKeywords);

    DuplicateIndex& dup = *m_duplicates;
    if (!dup.valid || dup.size != m_arrBookmarks.size() || dup.stamp != m_changeStamp) {
        dup.byKey.clear();
        dup.byKey.reserve(m_arrBookmarks.size() * 2);
        for (std::uint32_t i = 0; i < m_arrBookmarks.size(); ++i) {
            const CBookmark& b = *m_arrBookmarks[i];
            dup.byKey.emplace(DuplicateIndex::Key(b.m_strName, b.m_strURL), i);
        }
        dup.valid = true;
    }
    const std::size_t key = DuplicateIndex::Key(trimmedName, url);
    auto [first, last] = dup.byKey.equal_range(key);
    for (auto it = first; it != last; ++it) {
        const CBookmark& b = *m_arrBookmarks[it->second];
        if (b.m_strName == trimmedName && b.m_strURL == url)
            return false;
    }

    const std::string scheduleName =
        ScheduleExists(f.schedule) ? std::string(f.schedule) : std::string(kNoSchedule);
    auto bookmark = std::make_unique<CBookmark>(
        std::string(trimmedName), std::string(url), std::string_view(), std::string(f.description),
        std::string(f.notes), f.statusChecking, scheduleName, std::string(f.status), f.addDate,
        f.lastVisited, f.lastModified, f.lastChecked);
    // The text is normal already and a second scan would change nothing: take it as it is.
    bookmark->m_strKeywords = std::move(keywordText);
    bookmark->m_arrKeywords = std::move(sortedKeywords);
    m_arrBookmarks.push_back(std::move(bookmark));
    SetModifiedFlag(true);
    // The index stays valid: it gains exactly the bookmark just added.
    dup.byKey.emplace(key, static_cast<std::uint32_t>(m_arrBookmarks.size() - 1));
    dup.size = m_arrBookmarks.size();
    dup.stamp = m_changeStamp;
    dup.valid = true;
    return true;
}

bool CBrindleDoc::AddBookmarkToResult(const CBookmark& v) {
    if (!AddBookmark(FieldsOf(v)))
        return false;
    const auto index = static_cast<std::uint32_t>(m_arrBookmarks.size() - 1);
    if (MatchesSearch(index, true)) {
        InsertIntoHits(index);
        AddBookmarkKeywords(index);
    }
    RefreshViews();
    return true;
}

void CBrindleDoc::InsertIntoHits(std::uint32_t index) {
    for (Hits* hits : {&m_arrStringHits, &m_arrKeywordHits}) {
        const std::size_t at = brindle::ResultOrder::InsertPosition(
            *hits, index, m_arrBookmarks, m_nSortColumn, m_bSortAscending != 0);
        hits->insert(hits->begin() + static_cast<std::ptrdiff_t>(at), index);
    }
}

void CBrindleDoc::DeleteBookmark(std::uint32_t index) {
    if (index >= m_arrBookmarks.size())
        return;
    SetModifiedFlag(true);
    m_arrDeletedBookmarks.push_back(std::move(m_arrBookmarks[index]));
    m_arrBookmarks.erase(m_arrBookmarks.begin() + index);
}

void CBrindleDoc::DeleteBookmarks(const Hits& indices) {
    const std::size_t n = m_arrBookmarks.size();
    std::vector<char> gone(n, 0);
    bool any = false;
    for (std::uint32_t i : indices) {
        if (i < n && !gone[i]) {
            gone[i] = 1;
            m_arrDeletedBookmarks.push_back(std::move(m_arrBookmarks[i]));
            any = true;
        }
    }
    if (!any)
        return;
    SetModifiedFlag(true);
    // New index of each survivor; one pass instead of one erase per bookmark.
    std::vector<std::uint32_t> newIndex(n);
    std::uint32_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        newIndex[i] = kept;
        if (!gone[i])
            m_arrBookmarks[kept++] = std::move(m_arrBookmarks[i]);
    }
    m_arrBookmarks.resize(kept);
    for (Hits* hits : {&m_arrKeywordHits, &m_arrStringHits}) {
        std::erase_if(*hits, [&](std::uint32_t h) { return h >= n || gone[h]; });
        for (std::uint32_t& h : *hits)
            h = newIndex[h];
    }
}

void CBrindleDoc::ClearUndo(int kind) {
    switch (kind) {
    case kUndoBookmarks:
        m_arrDeletedBookmarks.clear();
        m_arrUndoKeywordOwners.clear(); // a delete would make these indices stale
        break;
    case kUndoMacros:
        m_arrDeletedMacros.clear();
        break;
    case kUndoKeyword:
        m_arrUndoKeywordOwners.clear();
        break;
    default:
        break;
    }
}

void CBrindleDoc::UndoDeleteBookmarks() {
    Bookmarks deleted = std::move(m_arrDeletedBookmarks);
    m_arrDeletedBookmarks.clear();
    for (const auto& b : deleted)
        AddBookmark(FieldsOf(*b));
    RerunLastSearch();
}

void CBrindleDoc::MarkVisited(std::uint32_t index) {
    if (index >= m_arrBookmarks.size())
        return;
    m_arrBookmarks[index]->m_tLastVisited = Now();
    SetModifiedFlag(true);
}

std::string CBrindleDoc::GetFieldText(std::uint32_t index, int field) const {
    if (index >= m_arrBookmarks.size())
        return {};
    return m_arrBookmarks[index]->GetFieldText(field, TimePattern());
}

std::string CBrindleDoc::GetSortedFieldText(std::uint32_t index, int field) const {
    if (index >= m_arrSorted.size() || !m_arrSorted[index])
        return {};
    return m_arrSorted[index]->GetFieldText(field, TimePattern());
}

BrxTime CBrindleDoc::GetFieldTime(std::uint32_t index, int field) const {
    return index < m_arrBookmarks.size() ? m_arrBookmarks[index]->GetFieldTime(field) : 0;
}

BrxTime CBrindleDoc::GetSortedFieldTime(std::uint32_t index, int field) const {
    return (index < m_arrSorted.size() && m_arrSorted[index])
               ? m_arrSorted[index]->GetFieldTime(field)
               : 0;
}

void CBrindleDoc::CopyBookmarks(const Bookmarks& source, Bookmarks& target) {
    target.reserve(target.size() + source.size());
    for (const auto& b : source)
        target.push_back(std::make_unique<CBookmark>(
            b->m_strName, b->m_strURL, b->m_strKeywords, b->m_strDescription, b->m_strNotes,
            b->m_wStatusChecking, b->m_strSchedule, b->m_strStatus, b->m_tAddDate,
            b->m_tLastVisited, b->m_tLastModified, b->m_tLastChecked));
}

CBrindleDoc::Bookmarks CBrindleDoc::PreparePropertyCopies(std::uint32_t index) {
    if (index < m_arrBookmarks.size() && !ScheduleExists(m_arrBookmarks[index]->m_strSchedule)) {
        m_arrBookmarks[index]->m_strSchedule = kNoSchedule;
        ForgetDerivedData(); // a field changed: orderings and search copies are stale
    }
    Bookmarks copies;
    CopyBookmarks(m_arrBookmarks, copies);
    return copies;
}

void CBrindleDoc::ApplyPropertyCopies(Bookmarks& copies) {
    const std::size_t n = std::min(copies.size(), m_arrBookmarks.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!copies[i] || copies[i]->Equals(*m_arrBookmarks[i]))
            continue;
        SetModifiedFlag(true);
        m_arrBookmarks[i] = std::move(copies[i]);
    }
    copies.clear();
    RerunLastSearch();
}

// --- Views and status counts ------------------------------------------------------------------

SearchCounts CBrindleDoc::Counts() const {
    return {m_nSearchMode, m_arrDictionary.size(), ActiveHits().size(), m_arrBookmarks.size()};
}

void CBrindleDoc::RefreshViews() {
    Notify([](DocListener& l) { l.ReloadRows(); });
    if (m_nSearchMode == kSearchKeyword)
        Notify([](DocListener& l) { l.RefillKeywords(); });
    const SearchCounts counts = Counts();
    Notify([&](DocListener& l) { l.CountsChanged(counts); });
}

void CBrindleDoc::NotifyRebuild() {
    Notify([](DocListener& l) { l.Rebuild(); });
}

// --- Life cycle --------------------------------------------------------------------------------

void CBrindleDoc::DeleteContents() {
    m_arrBookmarks.clear();
    m_arrMacros.clear();
    // The result lists and the dictionary described the bookmarks just deleted.
    m_arrKeywordHits.clear();
    m_arrStringHits.clear();
    m_arrSorted.clear();
    m_arrDictionary.clear();
    ForgetDerivedData();
}
