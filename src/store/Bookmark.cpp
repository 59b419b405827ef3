// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Bookmark.h"

#include "store/KeywordText.h"
#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <algorithm>

BookmarkFields FieldsOf(const BookmarkRef& b) {
    return {.name = b.m_strName,
            .url = b.m_strURL,
            .keywords = b.m_strKeywords,
            .description = b.m_strDescription,
            .notes = b.m_strNotes,
            .statusChecking = b.m_wStatusChecking,
            .schedule = b.m_strSchedule,
            .status = b.m_strStatus,
            .addDate = b.m_tAddDate,
            .lastVisited = b.m_tLastVisited,
            .lastModified = b.m_tLastModified,
            .lastChecked = b.m_tLastChecked};
}

const char* FieldTitle(int field) {
    static const char* const kTitles[kFieldCount] = {
        "Name",     "URL",    "Keywords", "Description",  "Notes",         "Status_checking",
        "Schedule", "Status", "Add date", "Last visited", "Last modified", "Last checked"};
    return (field >= 0 && field < kFieldCount) ? kTitles[field] : "?";
}

// --- BookmarkRef -------------------------------------------------------------------------------

std::string_view BookmarkRef::SearchField(int bit) const {
    return *TextField(FieldOfSearchBit(bit >= 0 && bit < kSearchFieldCount ? bit : 6));
}

bool BookmarkRef::MatchText(std::string_view text, bool matchCase, std::uint8_t fieldMask) const {
    if ((fieldMask & kSearchAllFields) == 0)
        return false;
    const brindle::StringMatcher matcher(text, matchCase);
    for (int bit = 0; bit < kSearchFieldCount; ++bit) {
        if ((fieldMask & (1u << bit)) && matcher.Matches(SearchField(bit)))
            return true;
    }
    return false;
}

namespace {

// The text field `field` of a bookmark in either form (view or value), or null.
template <typename Record> auto TextFieldOf(const Record& r, int field) -> decltype(&r.m_strName) {
    switch (field) {
    case kFieldName:
        return &r.m_strName;
    case kFieldURL:
        return &r.m_strURL;
    case kFieldKeywords:
        return &r.m_strKeywords;
    case kFieldDescription:
        return &r.m_strDescription;
    case kFieldNotes:
        return &r.m_strNotes;
    case kFieldSchedule:
        return &r.m_strSchedule;
    case kFieldStatus:
        return &r.m_strStatus;
    default:
        return nullptr;
    }
}

} // namespace

const std::string_view* BookmarkRef::TextField(int field) const {
    return TextFieldOf(*this, field);
}

std::string BookmarkRef::GetFieldText(int field, const std::string& timePattern) const {
    if (const std::string_view* s = TextField(field))
        return std::string(*s);
    if (field == kFieldStatusChecking)
        return m_wStatusChecking ? "Enable" : "Disable";
    if (field >= kFieldAddDate && field <= kFieldLastChecked) {
        // 0 means never: no text, rather than the first second of 1970 in local time.
        const BrxTime t = GetFieldTime(field);
        return t == 0 ? std::string() : brindle::FormatTime(t, timePattern);
    }
    return "?";
}

BrxTime BookmarkRef::GetFieldTime(int field) const {
    switch (field) {
    case kFieldAddDate:
        return m_tAddDate;
    case kFieldLastVisited:
        return m_tLastVisited;
    case kFieldLastModified:
        return m_tLastModified;
    case kFieldLastChecked:
        return m_tLastChecked;
    default:
        return 0;
    }
}

bool BookmarkRef::Equals(const BookmarkRef& o) const {
    return m_strName == o.m_strName && m_strURL == o.m_strURL && m_strKeywords == o.m_strKeywords &&
           m_strDescription == o.m_strDescription && m_strNotes == o.m_strNotes &&
           m_wStatusChecking == o.m_wStatusChecking && m_strSchedule == o.m_strSchedule &&
           m_strStatus == o.m_strStatus;
}

// --- CBookmark ---------------------------------------------------------------------------------

CBookmark::CBookmark(std::string name, std::string url, std::string_view keywords,
                     std::string description, std::string notes, std::uint16_t statusChecking,
                     std::string schedule, std::string status, BrxTime addDate, BrxTime lastVisited,
                     BrxTime lastModified, BrxTime lastChecked)
    : m_strName(std::move(name)), m_strURL(std::move(url)),
      m_strDescription(std::move(description)), m_strNotes(std::move(notes)),
      m_wStatusChecking(statusChecking), m_strSchedule(std::move(schedule)),
      m_strStatus(std::move(status)), m_tAddDate(addDate), m_tLastVisited(lastVisited),
      m_tLastModified(lastModified), m_tLastChecked(lastChecked) {
    SetKeywords(keywords);
}

CBookmark::operator BookmarkRef() const {
    return {m_strName,  m_strURL,          m_strKeywords,   m_strDescription,
            m_strNotes, m_wStatusChecking, m_strSchedule,   m_strStatus,
            m_tAddDate, m_tLastVisited,    m_tLastModified, m_tLastChecked};
}

void CBookmark::SetKeywords(std::string_view text) {
    m_strKeywords = brindle::NormalizeKeywordText(text, false, &m_arrKeywords);
}

void CBookmark::AddKeyword(std::string_view keyword) {
    brindle::AddKeywordTo(m_strKeywords, m_arrKeywords, keyword);
}

int CBookmark::RemoveKeyword(std::string_view keyword) {
    return brindle::RemoveKeywordFrom(m_strKeywords, m_arrKeywords, keyword) ? 1 : 0;
}

int CBookmark::RenameKeyword(std::string_view oldKeyword, std::string_view newKeyword) {
    if (!RemoveKeyword(oldKeyword))
        return 0;
    AddKeyword(newKeyword);
    return 1;
}

void CBookmark::RebuildKeywordList() {
    m_arrKeywords.clear();
    brindle::SplitKeywordsInto(m_strKeywords, m_arrKeywords);
}

const std::string& CBookmark::SearchField(int bit) const {
    return *TextField(FieldOfSearchBit(bit >= 0 && bit < kSearchFieldCount ? bit : 6));
}

const std::string* CBookmark::TextField(int field) const {
    return TextFieldOf(*this, field);
}
