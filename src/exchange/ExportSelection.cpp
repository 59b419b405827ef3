// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ExportSelection.h"

#include "store/BrindleDoc.h"

#include <algorithm>

namespace brindle {

int SortFieldColumn(std::string_view name) {
    for (int i = 0; i < kFieldCount; ++i)
        if (kSortFieldNames[i] == name)
            return i;
    return -1;
}

namespace {

std::vector<BookmarkRef> Select(const CBrindleDoc& doc, const ExportOptions& options) {
    std::vector<BookmarkRef> out;
    const BookmarkList& bookmarks = doc.Bookmarks();
    if (options.selectedOnly) {
        const CBrindleDoc::Hits& rows = doc.ActiveHits();
        std::vector<std::uint32_t> picked;
        for (std::uint32_t r : options.selectedRows)
            if (r < rows.size())
                picked.push_back(r);
        std::sort(picked.begin(), picked.end());
        picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
        auto take = [&](std::uint32_t row) {
            if (rows[row] < bookmarks.size())
                out.push_back(bookmarks[rows[row]]);
        };
        if (picked.empty()) {
            for (std::uint32_t r = 0; r < rows.size(); ++r)
                take(r);
        } else {
            for (std::uint32_t r : picked)
                take(r);
        }
        return out;
    }

    out.reserve(bookmarks.size());
    for (const BookmarkRef b : bookmarks)
        out.push_back(b);
    const int column = SortFieldColumn(options.sortField);
    if (column < 0)
        return out;
    // A stable sort gives exactly the order of inserting each bookmark, in collection order,
    // after every bookmark it equals, without the quadratic cost of inserting into an array.
    const bool ascending = options.ascending;
    // The keys are taken out next to their bookmarks first: comparing then touches one array
    // instead of chasing every bookmark.
    auto sortBy = [&](auto key) {
        using Key = decltype(key(out.front()));
        std::vector<std::pair<Key, BookmarkRef>> keyed;
        keyed.reserve(out.size());
        for (const BookmarkRef& b : out)
            keyed.emplace_back(key(b), b);
        std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
            return ascending ? a.first < b.first : b.first < a.first;
        });
        for (size_t i = 0; i < keyed.size(); ++i)
            out[i] = keyed[i].second;
    };
    if (out.empty())
        return out;
    if (column == kFieldStatusChecking) {
        // "Disable" sorts before "Enable".
        sortBy([](const BookmarkRef& b) { return b.m_wStatusChecking != 0; });
    } else if (column >= kFieldAddDate) {
        sortBy([column](const BookmarkRef& b) { return b.GetFieldTime(column); });
    } else {
        // Text fields compare byte by byte.
        std::string_view BookmarkRef::*field = nullptr;
        switch (column) {
        case kFieldName:
            field = &BookmarkRef::m_strName;
            break;
        case kFieldURL:
            field = &BookmarkRef::m_strURL;
            break;
        case kFieldKeywords:
            field = &BookmarkRef::m_strKeywords;
            break;
        case kFieldDescription:
            field = &BookmarkRef::m_strDescription;
            break;
        case kFieldNotes:
            field = &BookmarkRef::m_strNotes;
            break;
        case kFieldSchedule:
            field = &BookmarkRef::m_strSchedule;
            break;
        default:
            field = &BookmarkRef::m_strStatus;
            break;
        }
        sortBy([field](const BookmarkRef& b) -> std::string_view { return b.*field; });
    }
    return out;
}

} // namespace

const std::vector<BookmarkRef>& SelectForExport(CBrindleDoc& doc, const ExportOptions& options) {
    return doc.KeepExportCopy(Select(doc, options));
}

} // namespace brindle
