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

SortKey MakeKey(const BookmarkRecord& r, std::uint32_t i, int field, int slot) {
    SortKey k;
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
    return k;
}

// Texts equal in their first sixteen bytes are compared whole; a shorter text padded with zero
// bytes ties with a longer one here and is told apart by the full comparison.
int CompareKeys(const SortKey& a, const SortKey& b) {
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix ? -1 : 1;
    if (a.next != b.next)
        return a.next < b.next ? -1 : 1;
    if (a.text)
        return Sign(std::string_view(a.text, a.length).compare(std::string_view(b.text, b.length)));
    return 0;
}

bool KeyBefore(const SortKey& a, const SortKey& b) {
    const int c = CompareKeys(a, b);
    return c != 0 ? c < 0 : a.index < b.index;
}

// From this many bookmarks on, ranks are computed a part at a time.
constexpr std::uint32_t kPartsFrom = 1u << 16;
constexpr std::size_t kParts = 8;
constexpr std::size_t kSample = 1024;

} // namespace

void ResultOrder::ComputeRanks(const Bookmarks& bookmarks, int field) {
    const auto n = static_cast<std::uint32_t>(bookmarks.size());
    const int slot = SlotOfField(field);
    auto keyOf = [&](std::uint32_t i) { return MakeKey(bookmarks.Record(i), i, field, slot); };
    // Keys (32 bytes a bookmark) are sorted so that sorting reads a compact array instead of
    // every bookmark. For a large collection only one part's keys are held at a time: the parts
    // lie between values taken from a sample, and the bookmarks equal to one of those values
    // share one rank without any sorting. Part 2j holds the keys below splitter j (and above
    // j - 1), part 2j + 1 those equal to it.
    std::vector<SortKey> splitters;
    if (n >= kPartsFrom) {
        std::vector<SortKey> sample;
        for (std::uint32_t i = 0; i < n; i += n / kSample)
            sample.push_back(keyOf(i));
        std::sort(sample.begin(), sample.end(), KeyBefore);
        for (std::size_t p = 1; p < kParts; ++p) {
            const SortKey& s = sample[p * sample.size() / kParts];
            if (splitters.empty() || CompareKeys(splitters.back(), s) != 0)
                splitters.push_back(s);
        }
    }
    const std::size_t parts = 2 * splitters.size() + 1;
    std::vector<std::uint8_t> part;
    std::vector<std::uint32_t> count(parts, 0);
    if (splitters.empty()) {
        count[0] = n;
    } else {
        part.resize(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const SortKey k = keyOf(i);
            // The first splitter the key does not exceed.
            std::size_t lo = 0, hi = splitters.size();
            int c = 1;
            while (lo < hi) {
                const std::size_t mid = (lo + hi) / 2;
                const int m = CompareKeys(k, splitters[mid]);
                if (m <= 0) {
                    hi = mid;
                    c = m;
                } else {
                    lo = mid + 1;
                }
            }
            part[i] = static_cast<std::uint8_t>(2 * lo + (lo < splitters.size() && c == 0));
            ++count[part[i]];
        }
    }
    m_rank.assign(n, 0);
    std::uint32_t rank = 0;
    bool ranked = false; // some bookmark has its rank: the next distinct key takes the next one
    std::vector<SortKey> keys;
    for (std::size_t p = 0; p < parts; ++p) {
        if (count[p] == 0)
            continue;
        auto inPart = [&](std::uint32_t i) { return part.empty() || part[i] == p; };
        if (p % 2 == 1) {
            if (ranked)
                ++rank;
            ranked = true;
            for (std::uint32_t i = 0; i < n; ++i)
                if (inPart(i))
                    m_rank[i] = rank;
            continue;
        }
        keys.clear();
        keys.reserve(count[p]);
        // A part's bookmarks lie scattered: their records, then their texts, are fetched ahead.
        constexpr std::uint32_t kAhead = 64;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!part.empty() && i + 2 * kAhead < n && inPart(i + 2 * kAhead)) {
                const char* r = reinterpret_cast<const char*>(&bookmarks.Record(i + 2 * kAhead));
                __builtin_prefetch(r);
                __builtin_prefetch(r + sizeof(BookmarkRecord) - 1);
            }
            if (!part.empty() && slot >= 0 && i + kAhead < n && inPart(i + kAhead))
                __builtin_prefetch(bookmarks.Record(i + kAhead).Text(slot).data());
            if (inPart(i))
                keys.push_back(keyOf(i));
        }
        std::sort(keys.begin(), keys.end(), KeyBefore);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (ranked && (k == 0 || CompareKeys(keys[k - 1], keys[k]) != 0))
                ++rank;
            ranked = true;
            m_rank[keys[k].index] = rank;
        }
    }
    m_rankCount = ranked ? rank + 1 : 0;
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
    // Counting sort over the ranks: linear, and stable by construction. The counts (4 bytes a
    // bookmark) are not kept for the next search: the window's memory counts more than one
    // allocation.
    std::vector<std::uint32_t> count(m_rankCount + 1, 0);
    for (std::uint32_t h : hits)
        ++count[key(h) + 1];
    for (std::uint32_t r = 0; r < m_rankCount; ++r)
        count[r + 1] += count[r];
    std::vector<std::uint32_t> sorted(hits.size());
    for (std::uint32_t h : hits)
        sorted[count[key(h)]++] = h;
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
