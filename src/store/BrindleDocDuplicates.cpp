// SPDX-License-Identifier: GPL-3.0-or-later
// Merging bookmarks that point at one page, and taking a merge back.
#include "store/BrindleDoc.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>
#include <utility>

namespace {

bool IsHttps(std::string_view url) {
    constexpr std::string_view kScheme = "https:";
    if (url.size() < kScheme.size())
        return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(url[i]))) != kScheme[i])
            return false;
    return true;
}

// The sets the groups make when groups sharing a bookmark are joined, each ascending.
std::vector<std::vector<std::uint32_t>> JoinGroups(const std::vector<CBrindleDoc::Hits>& groups,
                                                   std::size_t size) {
    std::map<std::uint32_t, std::uint32_t> parent;
    const auto find = [&](std::uint32_t x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    for (const CBrindleDoc::Hits& g : groups) {
        std::uint32_t first = 0;
        bool any = false;
        for (std::uint32_t i : g) {
            if (i >= size)
                continue;
            parent.try_emplace(i, i);
            if (!any) {
                first = i;
                any = true;
            } else {
                parent[find(i)] = find(first);
            }
        }
    }
    std::map<std::uint32_t, std::vector<std::uint32_t>> sets;
    for (const auto& [i, p] : parent)
        sets[find(i)].push_back(i);
    std::vector<std::vector<std::uint32_t>> joined;
    for (auto& [root, members] : sets)
        if (members.size() >= 2)
            joined.push_back(std::move(members));
    return joined;
}

} // namespace

std::size_t CBrindleDoc::MergeBookmarks(const std::vector<Hits>& groups) {
    const std::vector<std::vector<std::uint32_t>> sets = JoinGroups(groups, m_arrBookmarks.size());
    if (sets.empty())
        return 0;
    ClearUndo(kUndoBookmarks);
    Hits removed;
    for (const std::vector<std::uint32_t>& members : sets) {
        // An https address before an http one, then the shortest (campaign parameters and
        // other noise only add), then the earliest.
        const auto rank = [&](std::uint32_t i) {
            const std::string_view url = m_arrBookmarks[i].m_strURL;
            return std::pair(IsHttps(url) ? 0 : 1, url.size());
        };
        const std::uint32_t keeper =
            *std::min_element(members.begin(), members.end(),
                              [&](std::uint32_t a, std::uint32_t b) { return rank(a) < rank(b); });

        const BookmarkRef kept = m_arrBookmarks[keeper];
        MergedKeeper undo{keeper, CBookmark(), std::string(kept.m_strURL)};
        undo.before = CBookmark(std::string(kept.m_strName), std::string(kept.m_strURL), "",
                                std::string(kept.m_strDescription), std::string(kept.m_strNotes),
                                kept.m_wStatusChecking, std::string(kept.m_strSchedule),
                                std::string(kept.m_strStatus), kept.m_tAddDate, kept.m_tLastVisited,
                                kept.m_tLastModified, kept.m_tLastChecked);
        undo.before.m_strKeywords = std::string(kept.m_strKeywords);
        undo.before.m_arrKeywords = m_arrBookmarks.KeywordList(keeper);

        CBookmark merged = undo.before;
        std::uint32_t statusFrom = keeper;
        for (std::uint32_t i : members) {
            if (i == keeper)
                continue;
            const BookmarkRef b = m_arrBookmarks[i];
            for (const std::string& keyword : m_arrBookmarks.KeywordList(i))
                merged.AddKeyword(keyword);
            if (b.m_strDescription.size() > merged.m_strDescription.size())
                merged.m_strDescription = std::string(b.m_strDescription);
            if (!b.m_strNotes.empty() &&
                merged.m_strNotes.find(b.m_strNotes) == std::string::npos) {
                if (!merged.m_strNotes.empty())
                    merged.m_strNotes += '\n';
                merged.m_strNotes += b.m_strNotes;
            }
            // 0 is "unknown", not the earliest time.
            if (b.m_tAddDate != 0 && (merged.m_tAddDate == 0 || b.m_tAddDate < merged.m_tAddDate))
                merged.m_tAddDate = b.m_tAddDate;
            merged.m_tLastVisited = std::max(merged.m_tLastVisited, b.m_tLastVisited);
            merged.m_tLastModified = std::max(merged.m_tLastModified, b.m_tLastModified);
            if (b.m_tLastChecked > m_arrBookmarks[statusFrom].m_tLastChecked)
                statusFrom = i;
            merged.m_tLastChecked = std::max(merged.m_tLastChecked, b.m_tLastChecked);
            removed.push_back(i);
        }
        merged.m_strStatus = std::string(m_arrBookmarks[statusFrom].m_strStatus);
        Rewrite(keeper, merged, &merged.m_arrKeywords);
        m_mergedKeepers.push_back(std::move(undo));
    }
    {
        const brindle::TrashLog::Scope why(m_trash, brindle::TrashReason::Duplicate);
        DeleteBookmarks(removed);
    }
    // The kept bookmarks moved down past the removed ones.
    std::sort(removed.begin(), removed.end());
    for (MergedKeeper& k : m_mergedKeepers)
        k.index -= static_cast<std::uint32_t>(
            std::lower_bound(removed.begin(), removed.end(), k.index) - removed.begin());
    SetModifiedFlag(true);
    MaybeCompact();
    RerunLastSearch();
    return removed.size();
}

void CBrindleDoc::RestoreMergedKeepers() {
    std::vector<MergedKeeper> keepers = std::move(m_mergedKeepers);
    m_mergedKeepers.clear();
    for (MergedKeeper& k : keepers) {
        if (k.index < m_arrBookmarks.size() &&
            m_arrBookmarks[k.index].m_strURL == std::string_view(k.mergedUrl) &&
            m_arrBookmarks[k.index].m_strName == std::string_view(k.before.m_strName)) {
            Rewrite(k.index, k.before, &k.before.m_arrKeywords);
            SetModifiedFlag(true);
        } else {
            // The merged bookmark has gone (another document, or deleted since): the original
            // comes back as any deleted bookmark does.
            AddBookmark(FieldsOf(k.before));
        }
    }
}
