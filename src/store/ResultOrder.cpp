// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ResultOrder.h"

#include "store/BookmarkList.h"

#include <algorithm>
#include <numeric>

namespace brindle {

namespace {
int Sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
int CompareTimes(BrxTime a, BrxTime b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}
} // namespace

int CompareByField(const BookmarkRef& a, const BookmarkRef& b, int field) {
    if (const std::string_view* sa = a.TextField(field))
        return Sign(sa->compare(*b.TextField(field)));
    if (field == kFieldStatusChecking) {
        // "Disable" sorts before "Enable".
        const bool ea = a.m_wStatusChecking != 0;
        const bool eb = b.m_wStatusChecking != 0;
        return ea == eb ? 0 : (ea ? 1 : -1);
    }
    if (field >= kFieldAddDate && field <= kFieldLastChecked)
        return CompareTimes(a.GetFieldTime(field), b.GetFieldTime(field));
    return 0; // every other number has the text "?" for all bookmarks
}

int CompareByField(const BookmarkRecord& a, const BookmarkRecord& b, int field) {
    const int slot = SlotOfField(field);
    if (slot >= 0)
        return Sign(a.Text(slot).compare(b.Text(slot)));
    if (field == kFieldStatusChecking) {
        const bool ea = a.statusChecking != 0;
        const bool eb = b.statusChecking != 0;
        return ea == eb ? 0 : (ea ? 1 : -1);
    }
    switch (field) {
    case kFieldAddDate:
        return CompareTimes(a.added, b.added);
    case kFieldLastVisited:
        return CompareTimes(a.visited, b.visited);
    case kFieldLastModified:
        return CompareTimes(a.modified, b.modified);
    case kFieldLastChecked:
        return CompareTimes(a.checked, b.checked);
    default:
        return 0;
    }
}

namespace {

// Eight bytes of a text from `at` as a big-endian number: comparing two of these orders texts
// as a byte-wise comparison would, as long as they differ within those bytes.
std::uint64_t Prefix(std::string_view s, std::size_t at = 0) {
    std::uint64_t v = 0;
    for (std::size_t k = at; k < at + 8; ++k)
        v = (v << 8) | (k < s.size() ? static_cast<unsigned char>(s[k]) : 0u);
    return v;
}

BrxTime TimeOf(const BookmarkRecord& r, int field) {
    switch (field) {
    case kFieldAddDate:
        return r.added;
    case kFieldLastVisited:
        return r.visited;
    case kFieldLastModified:
        return r.modified;
    default:
        return r.checked;
    }
}

struct SortKey {
    std::uint64_t prefix; // text prefix, or the time value biased to sort as unsigned
    std::uint64_t next;   // the text's next eight bytes (names often share their first word)
    const char* text;     // the text field, or nullptr
    std::uint32_t length;
    std::uint32_t index;
};

} // namespace

void ResultOrder::ComputeRanks(const Bookmarks& bookmarks, int field) {
    const auto n = static_cast<std::uint32_t>(bookmarks.size());
    const int slot = SlotOfField(field);
    // Keys gathered once so that sorting reads a compact array instead of every bookmark.
    std::vector<SortKey> keys(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const BookmarkRecord& r = bookmarks.Record(i);
        SortKey& k = keys[i];
        k.index = i;
        k.text = nullptr;
        k.length = 0;
        k.next = 0;
        if (slot >= 0) {
            const std::string_view t = r.Text(slot);
            k.text = t.data();
            k.length = static_cast<std::uint32_t>(t.size());
            k.prefix = Prefix(t);
            k.next = Prefix(t, 8);
        } else if (field == kFieldStatusChecking) {
            k.prefix = r.statusChecking != 0; // "Disable" before "Enable"
        } else if (field >= kFieldAddDate && field <= kFieldLastChecked) {
            k.prefix = static_cast<std::uint64_t>(TimeOf(r, field)) ^ (1ULL << 63);
        } else {
            k.prefix = 0;
        }
    }
    // Texts equal in their first sixteen bytes are compared whole; a shorter text padded with
    // zero bytes ties with a longer one here and is told apart by the full comparison.
    auto compare = [](const SortKey& a, const SortKey& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        if (a.next != b.next)
            return a.next < b.next ? -1 : 1;
        if (a.text)
            return Sign(
                std::string_view(a.text, a.length).compare(std::string_view(b.text, b.length)));
        return 0;
    };
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        const int c = compare(a, b);
        return c != 0 ? c < 0 : a.index < b.index;
    });
    m_rank.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::uint32_t k = 0; k < n; ++k) {
        if (k > 0 && compare(keys[k - 1], keys[k]) != 0)
            ++rank;
        m_rank[keys[k].index] = rank;
    }
    m_rankCount = n ? rank + 1 : 0;
    m_field = field;
    m_valid = true;
}

void ResultOrder::Order(std::vector<std::uint32_t>& hits, const Bookmarks& bookmarks, int field,
                        bool ascending) {
    if (hits.size() < 2)
        return;
    for (std::uint32_t h : hits)
        if (h >= bookmarks.size())
            return; // a stale index: leave the list as it is rather than read past the end
    const bool ranked = m_valid && m_field == field && m_rank.size() == bookmarks.size();
    if (!ranked && hits.size() * 16 < bookmarks.size()) {
        // A few hits among many bookmarks: comparing them costs less than ranking everything.
        std::stable_sort(hits.begin(), hits.end(), [&](std::uint32_t x, std::uint32_t y) {
            const int c = CompareByField(bookmarks.Record(x), bookmarks.Record(y), field);
            return ascending ? c < 0 : c > 0;
        });
        return;
    }
    if (!ranked)
        ComputeRanks(bookmarks, field);

    auto key = [&](std::uint32_t h) { return ascending ? m_rank[h] : m_rankCount - 1 - m_rank[h]; };
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
    const BookmarkRecord& b = bookmarks.Record(index);
    // First entry that the new one precedes in the list's direction.
    auto it =
        std::upper_bound(hits.begin(), hits.end(), index, [&](std::uint32_t, std::uint32_t h) {
            if (h >= bookmarks.size())
                return false;
            const int c = CompareByField(b, bookmarks.Record(h), field);
            return ascending ? c < 0 : c > 0;
        });
    return static_cast<size_t>(it - hits.begin());
}

} // namespace brindle
