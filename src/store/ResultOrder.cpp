#include "store/ResultOrder.h"

#include "store/Bookmark.h"

#include <algorithm>
#include <numeric>

namespace brindle {

int CompareByField(const CBookmark& a, const CBookmark& b, int field) {
    if (const std::string* sa = a.TextField(field)) {
        const int c = sa->compare(*b.TextField(field));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (field == kFieldStatusChecking) {
        // "Disable" sorts before "Enable".
        const bool ea = a.m_wStatusChecking != 0;
        const bool eb = b.m_wStatusChecking != 0;
        return ea == eb ? 0 : (ea ? 1 : -1);
    }
    if (field >= kFieldAddDate && field <= kFieldLastChecked) {
        const BrxTime ta = a.GetFieldTime(field);
        const BrxTime tb = b.GetFieldTime(field);
        return ta < tb ? -1 : (ta > tb ? 1 : 0);
    }
    return 0; // every other number has the text "?" for all bookmarks
}

void ResultOrder::ComputeRanks(const Bookmarks& bookmarks, int field) {
    const auto n = static_cast<std::uint32_t>(bookmarks.size());
    std::vector<std::uint32_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0u);
    std::sort(perm.begin(), perm.end(), [&](std::uint32_t x, std::uint32_t y) {
        const int c = CompareByField(*bookmarks[x], *bookmarks[y], field);
        return c != 0 ? c < 0 : x < y;
    });
    m_rank.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::uint32_t k = 0; k < n; ++k) {
        if (k > 0 && CompareByField(*bookmarks[perm[k - 1]], *bookmarks[perm[k]], field) != 0)
            ++rank;
        m_rank[perm[k]] = rank;
    }
    m_rankCount = n ? rank + 1 : 0;
    m_field = field;
    m_valid = true;
}

void ResultOrder::Order(std::vector<std::uint32_t>& hits, const Bookmarks& bookmarks, int field,
                        bool ascending) {
    if (hits.size() < 2)
        return;
    if (!m_valid || m_field != field || m_rank.size() != bookmarks.size())
        ComputeRanks(bookmarks, field);
    for (std::uint32_t h : hits)
        if (h >= m_rank.size())
            return; // a stale index: leave the list as it is rather than read past the end

    auto key = [&](std::uint32_t h) {
        return ascending ? m_rank[h] : m_rankCount - 1 - m_rank[h];
    };
    if (hits.size() * 16 < m_rankCount) {
        std::stable_sort(hits.begin(), hits.end(),
                         [&](std::uint32_t x, std::uint32_t y) { return key(x) < key(y); });
        return;
    }
    // Counting sort over the ranks: linear, and stable by construction.
    m_count.assign(m_rankCount + 1, 0);
    for (std::uint32_t h : hits)
        ++m_count[key(h) + 1];
    for (std::uint32_t r = 0; r < m_rankCount; ++r)
        m_count[r + 1] += m_count[r];
    std::vector<std::uint32_t> sorted(hits.size());
    for (std::uint32_t h : hits)
        sorted[m_count[key(h)]++] = h;
    hits.swap(sorted);
}

size_t ResultOrder::InsertPosition(const std::vector<std::uint32_t>& hits, std::uint32_t index,
                                   const Bookmarks& bookmarks, int field, bool ascending) {
    const CBookmark& b = *bookmarks[index];
    // First entry that the new one precedes in the list's direction.
    auto it = std::upper_bound(hits.begin(), hits.end(), index,
                               [&](std::uint32_t, std::uint32_t h) {
                                   if (h >= bookmarks.size())
                                       return false;
                                   const int c = CompareByField(b, *bookmarks[h], field);
                                   return ascending ? c < 0 : c > 0;
                               });
    return static_cast<size_t>(it - hits.begin());
}

} // namespace brindle
