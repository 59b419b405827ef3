// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/BrindleDoc.h"

#include "store/DuplicateIndex.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <ctime>

CBrindleDoc::CBrindleDoc(const CPreferences& prefs)
    : m_arrDeletedBookmarks(m_arrBookmarks.SharedStorage()), m_prefs(&prefs),
      m_duplicates(std::make_unique<brindle::DuplicateIndex>()) {}

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
    m_duplicates->Invalidate();
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

namespace {

using brindle::BookmarkRecord;

bool HasBlankEdge(const std::string& word) {
    return !word.empty() && (brindle::IsBlank(word.front()) || brindle::IsBlank(word.back()));
}

// The list a record must keep of its own: nullptr when the split of `text` gives it anyway.
const std::vector<std::string>* OwnList(std::string_view text,
                                        const std::vector<std::string>& list) {
    std::vector<std::string> split;
    brindle::SplitKeywordsInto(text, split);
    return split == list ? nullptr : &list;
}

// kNormalKeywords when adding the bookmark again would keep its keyword text and list.
std::uint16_t KeywordFlags(std::string_view text, const std::vector<std::string>* ownList) {
    if (ownList)
        return 0;
    std::vector<std::string> list;
    const bool normal = brindle::NormalizeKeywordText(text, true, &list) == text &&
                        std::none_of(list.begin(), list.end(), HasBlankEdge);
    return normal ? BookmarkRecord::kNormalKeywords : 0;
}

} // namespace

brindle::DuplicateIndex& CBrindleDoc::Duplicates() {
    m_duplicates->Sync(m_arrBookmarks, m_changeStamp);
    return *m_duplicates;
}

bool CBrindleDoc::AddBookmark(const BookmarkFields& f) {
    const std::string_view trimmedName = brindle::TrimView(f.name);
    const std::string_view url = f.url;
    if (trimmedName.empty())
        return false;
    bool blankEdge = false;
    const std::string keywordText = brindle::NormalizeKeywordTextOnly(
        brindle::TrimView(f.keywords), /*commaDrops=*/true, &blankEdge);

    const std::uint32_t key = brindle::DuplicateIndex::Key(trimmedName, url);
    if (Duplicates().Contains(key, trimmedName, url, m_arrBookmarks))
        return false;

    const std::string_view schedule =
        ScheduleExists(f.schedule) ? f.schedule : std::string_view(kNoSchedule);
    // The words of a normal text are the pieces its split gives, unless one starts or ends with
    // white space other than a blank (a tab is a word byte): only then is a list kept.
    std::vector<std::string> sortedKeywords;
    if (blankEdge)
        brindle::NormalizeKeywordText(brindle::TrimView(f.keywords), true, &sortedKeywords);
    const bool regular = !blankEdge;
    const BookmarkRef values{
        trimmedName, url,      keywordText, f.description, f.notes,        f.statusChecking,
        schedule,    f.status, f.addDate,   f.lastVisited, f.lastModified, f.lastChecked};
    // The keyword ids wait for the first dictionary that needs them (imports add many).
    const BookmarkRecord record = m_arrBookmarks.MakeRecord(
        values, regular ? nullptr : &sortedKeywords, regular ? BookmarkRecord::kNormalKeywords : 0,
        /*deferIds=*/true);
    if (record.Has(BookmarkRecord::kIdsReady))
        m_arrBookmarks.Records().push_back(record);
    else
        m_arrBookmarks.AppendUnindexed(record);
    SetModifiedFlag(true);
    // The index stays valid: it gains exactly the bookmark just added.
    m_duplicates->Added(key, static_cast<std::uint32_t>(m_arrBookmarks.size() - 1), m_changeStamp);
    return true;
}

bool CBrindleDoc::AddBookmarkToResult(const BookmarkRef& v) {
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

void CBrindleDoc::KeepDeleted(const BookmarkRecord& r) {
    m_trash.Add(brindle::BookmarkList::Ref(r));
    if (!m_arrDeletedBookmarks.SharesStorageWith(m_arrBookmarks) && m_arrDeletedBookmarks.empty())
        m_arrDeletedBookmarks = brindle::BookmarkList(m_arrBookmarks.SharedStorage());
    if (m_arrDeletedBookmarks.SharesStorageWith(m_arrBookmarks)) {
        m_arrDeletedBookmarks.Records().push_back(r);
    } else {
        // Undo still holds bookmarks of a document opened before: copy the texts across.
        m_arrDeletedBookmarks.Records().push_back(
            m_arrDeletedBookmarks.CopyRecord(m_arrBookmarks, r));
        m_arrBookmarks.Release(r);
    }
}

void CBrindleDoc::DeleteBookmark(std::uint32_t index) {
    if (index >= m_arrBookmarks.size())
        return;
    SetModifiedFlag(true);
    KeepDeleted(m_arrBookmarks.Record(index));
    auto& records = m_arrBookmarks.Records();
    records.erase(records.begin() + index);
}

void CBrindleDoc::DeleteBookmarks(const Hits& indices) {
    const std::size_t n = m_arrBookmarks.size();
    std::vector<char> gone(n, 0);
    bool any = false;
    auto& records = m_arrBookmarks.Records();
    m_arrDeletedBookmarks.reserve(m_arrDeletedBookmarks.size() + indices.size());
    for (std::uint32_t i : indices) {
        if (i < n && !gone[i]) {
            gone[i] = 1;
            KeepDeleted(records[i]);
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
            records[kept++] = records[i];
    }
    records.resize(kept);
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
        if (!m_arrDeletedBookmarks.SharesStorageWith(m_arrBookmarks))
            m_arrDeletedBookmarks = brindle::BookmarkList(m_arrBookmarks.SharedStorage());
        m_arrUndoKeywordOwners.clear(); // a delete would make these indices stale
        m_mergedKeepers.clear();
        MaybeCompact();
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

// True when AddBookmark would store `r` exactly as it is (trimmed name, normal keyword text
// with the list its split gives, an existing schedule or "<None>"): undo can then take the
// record back without copying a byte.
bool CBrindleDoc::ReAddable(BookmarkRecord& r) {
    const std::string_view name = r.Text(BookmarkRecord::kName);
    if (name.empty() || brindle::TrimView(name).size() != name.size() ||
        r.Has(BookmarkRecord::kOwnList))
        return false;
    if (!r.Has(BookmarkRecord::kNormalKeywords)) {
        if (!KeywordFlags(r.Text(BookmarkRecord::kKeywords), nullptr))
            return false;
        r.flags |= BookmarkRecord::kNormalKeywords;
    }
    const std::string_view schedule = r.Text(BookmarkRecord::kSchedule);
    return schedule == kNoSchedule || ScheduleExists(schedule);
}

void CBrindleDoc::UndoDeleteBookmarks() {
    RestoreMergedKeepers();
    brindle::BookmarkList deleted = std::move(m_arrDeletedBookmarks);
    m_arrDeletedBookmarks = brindle::BookmarkList(m_arrBookmarks.SharedStorage());
    const bool shared = deleted.SharesStorageWith(m_arrBookmarks);
    m_arrBookmarks.reserve(m_arrBookmarks.size() + deleted.size());
    for (BookmarkRecord& r : deleted.Records()) {
        if (!shared || !ReAddable(r)) {
            AddBookmark(FieldsOf(brindle::BookmarkList::Ref(r)));
            deleted.Release(r);
            continue;
        }
        // AddBookmark's steps on a record that passes them unchanged.
        const std::string_view name = r.Text(BookmarkRecord::kName);
        const std::string_view url = r.Text(BookmarkRecord::kURL);
        const std::uint32_t key = brindle::DuplicateIndex::Key(name, url);
        if (Duplicates().Contains(key, name, url, m_arrBookmarks)) {
            deleted.Release(r);
            continue;
        }
        m_arrBookmarks.EnsureKeywordIds(r);
        m_arrBookmarks.Records().push_back(r);
        SetModifiedFlag(true);
        m_duplicates->Added(key, static_cast<std::uint32_t>(m_arrBookmarks.size() - 1),
                            m_changeStamp);
    }
    deleted.Records().clear();
    RerunLastSearch();
    MaybeCompact();
}

void CBrindleDoc::MarkVisited(std::uint32_t index) {
    if (index >= m_arrBookmarks.size())
        return;
    m_arrBookmarks.Record(index).visited = Now();
    SetModifiedFlag(true);
}

void CBrindleDoc::Rewrite(std::uint32_t index, const BookmarkRef& values,
                          const std::vector<std::string>* list) {
    const BookmarkRecord& old = m_arrBookmarks.Record(index);
    std::vector<std::string> kept;
    const std::vector<std::string>* ownList = nullptr;
    std::uint16_t flags = 0;
    if (list) {
        ownList = OwnList(values.m_strKeywords, *list);
        flags = KeywordFlags(values.m_strKeywords, ownList);
    } else {
        if (old.Has(BookmarkRecord::kOwnList)) {
            kept = m_arrBookmarks.KeywordList(index);
            ownList = &kept;
        }
        flags = old.flags;
    }
    m_arrBookmarks.Rewrite(index, values, ownList, flags);
}

void CBrindleDoc::SetFieldText(std::uint32_t index, int field, std::string_view text) {
    const int slot = brindle::SlotOfField(field);
    if (index >= m_arrBookmarks.size() || slot < 0)
        return;
    BookmarkRef values = m_arrBookmarks[index];
    const std::string copy(text); // the text may lie in the record being replaced
    *const_cast<std::string_view*>(values.TextField(field)) = copy;
    if (field == kFieldKeywords) {
        std::vector<std::string> list;
        brindle::SplitKeywordsInto(copy, list);
        Rewrite(index, values, &list);
    } else {
        Rewrite(index, values, nullptr);
    }
    SetModifiedFlag(true);
    MaybeCompact();
}

void CBrindleDoc::SetKeywords(std::uint32_t index, std::string_view text) {
    if (index >= m_arrBookmarks.size())
        return;
    BookmarkRef values = m_arrBookmarks[index];
    std::vector<std::string> list;
    const std::string normal = brindle::NormalizeKeywordText(text, false, &list);
    values.m_strKeywords = normal;
    Rewrite(index, values, &list);
    SetModifiedFlag(true);
    MaybeCompact();
}

void CBrindleDoc::SetFieldTime(std::uint32_t index, int field, BrxTime time) {
    if (index >= m_arrBookmarks.size())
        return;
    BookmarkRecord& r = m_arrBookmarks.Record(index);
    switch (field) {
    case kFieldAddDate:
        r.added = time;
        break;
    case kFieldLastVisited:
        r.visited = time;
        break;
    case kFieldLastModified:
        r.modified = time;
        break;
    case kFieldLastChecked:
        r.checked = time;
        break;
    default:
        return;
    }
    SetModifiedFlag(true);
}

void CBrindleDoc::SetStatusChecking(std::uint32_t index, std::uint16_t value) {
    if (index >= m_arrBookmarks.size())
        return;
    m_arrBookmarks.Record(index).statusChecking = value;
    SetModifiedFlag(true);
}

bool CBrindleDoc::EditKeywords(std::uint32_t index, const KeywordEdit& edit) {
    std::string text(m_arrBookmarks.Record(index).Text(BookmarkRecord::kKeywords));
    std::vector<std::string> list = m_arrBookmarks.KeywordList(index);
    if (!edit(text, list))
        return false;
    BookmarkRef values = m_arrBookmarks[index];
    values.m_strKeywords = text;
    Rewrite(index, values, &list);
    ForgetDerivedData();
    return true;
}

void CBrindleDoc::AddKeyword(std::uint32_t index, std::string_view keyword) {
    if (index >= m_arrBookmarks.size())
        return;
    EditKeywords(index, [&](std::string& text, std::vector<std::string>& list) {
        const std::size_t before = list.size();
        brindle::AddKeywordTo(text, list, keyword);
        return list.size() != before;
    });
    SetModifiedFlag(true);
    MaybeCompact();
}

void CBrindleDoc::ReplaceContents(const ViewState& view, brindle::BookmarkList bookmarks,
                                  MacroList macros, ScheduleList schedules) {
    RestoreViewState(view);
    ReplaceBookmarks(std::move(bookmarks));
    m_arrMacros = std::move(macros);
    m_arrSchedules = std::move(schedules);
    // The result lists and the dictionary described the old collection.
    m_arrKeywordHits.clear();
    m_arrStringHits.clear();
    m_arrSorted.clear();
    m_arrDictionary.clear();
    // Setting the flag invalidates the caches (ordering, duplicate index); a document just
    // opened starts unmodified.
    SetModifiedFlag(true);
    SetModifiedFlag(false);
}

const std::vector<BookmarkRef>& CBrindleDoc::KeepExportCopy(std::vector<BookmarkRef> bookmarks) {
    m_arrSorted = std::move(bookmarks);
    return m_arrSorted;
}

void CBrindleDoc::ReplaceBookmarks(brindle::BookmarkList bookmarks) {
    m_arrBookmarks = std::move(bookmarks);
    if (m_arrDeletedBookmarks.empty())
        m_arrDeletedBookmarks = brindle::BookmarkList(m_arrBookmarks.SharedStorage());
    m_arrSorted.clear();
    ForgetDerivedData();
}

void CBrindleDoc::MaybeCompact() {
    if (!m_arrBookmarks.Wasteful())
        return;
    std::vector<brindle::BookmarkList*> lists{&m_arrBookmarks};
    if (m_arrDeletedBookmarks.SharesStorageWith(m_arrBookmarks))
        lists.push_back(&m_arrDeletedBookmarks);
    brindle::BookmarkList::Compact(lists);
    m_arrSorted.clear(); // its views pointed into the old texts
}

std::string CBrindleDoc::GetFieldText(std::uint32_t index, int field) const {
    if (index >= m_arrBookmarks.size())
        return {};
    return m_arrBookmarks[index].GetFieldText(field, TimePattern());
}

std::string CBrindleDoc::GetSortedFieldText(std::uint32_t index, int field) const {
    if (index >= m_arrSorted.size())
        return {};
    return m_arrSorted[index].GetFieldText(field, TimePattern());
}

BrxTime CBrindleDoc::GetFieldTime(std::uint32_t index, int field) const {
    return index < m_arrBookmarks.size() ? m_arrBookmarks[index].GetFieldTime(field) : 0;
}

BrxTime CBrindleDoc::GetSortedFieldTime(std::uint32_t index, int field) const {
    return index < m_arrSorted.size() ? m_arrSorted[index].GetFieldTime(field) : 0;
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
    // A fresh storage: the old one stays only while the undo list still refers to it.
    m_arrBookmarks.clear();
    m_arrBookmarks = brindle::BookmarkList();
    if (m_arrDeletedBookmarks.empty())
        m_arrDeletedBookmarks = brindle::BookmarkList(m_arrBookmarks.SharedStorage());
    m_arrMacros.clear();
    m_trash.Clear(); // deletions never saved belong to the contents just dropped
    // The result lists and the dictionary described the bookmarks just deleted.
    m_arrKeywordHits.clear();
    m_arrStringHits.clear();
    m_arrSorted.clear();
    m_arrDictionary.clear();
    ForgetDerivedData();
}
