// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DuplicateGroups.h"

#include "store/BookmarkList.h"
#include "store/UrlNormalForm.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace brindle {

namespace {

using KeyFunction = void (*)(std::string_view, std::string&);

// Below this many bookmarks a second thread costs more than it saves.
constexpr std::size_t kThreadFrom = 50000;

struct Hashed {
    std::uint64_t hash;
    std::uint32_t index;
    bool operator<(const Hashed& o) const {
        return hash != o.hash ? hash < o.hash : index < o.index;
    }
};

std::string_view UrlOf(const BookmarkList& list, std::uint32_t i) {
    return list.Record(i).Text(BookmarkRecord::kURL);
}

// Bookmark indices with the hashes of their keys, ordered by hash (then index). The top bits
// of a good hash spread evenly, so one counting pass on them leaves buckets of a few entries.
std::vector<Hashed> HashedKeys(const BookmarkList& list, KeyFunction key) {
    const std::size_t n = list.size();
    std::vector<Hashed> hashed(n);
    std::string buffer;
    const std::hash<std::string_view> hasher;
    for (std::size_t i = 0; i < n; ++i) {
        key(UrlOf(list, static_cast<std::uint32_t>(i)), buffer);
        hashed[i] = {hasher(buffer), static_cast<std::uint32_t>(i)};
    }
    int bits = 1;
    while (bits < 20 && (std::size_t{1} << bits) < n)
        ++bits;
    const int shift = 64 - bits;
    std::vector<std::uint32_t> start((std::size_t{1} << bits) + 1, 0);
    for (const Hashed& h : hashed)
        ++start[(h.hash >> shift) + 1];
    for (std::size_t b = 1; b < start.size(); ++b)
        start[b] += start[b - 1];
    std::vector<Hashed> sorted(n);
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (const Hashed& h : hashed) // indices ascend, so each bucket does too
        sorted[next[h.hash >> shift]++] = h;
    for (std::size_t b = 0; b + 1 < start.size(); ++b)
        if (start[b + 1] - start[b] > 1)
            std::sort(sorted.begin() + start[b], sorted.begin() + start[b + 1]);
    return sorted;
}

// Calls `found` with each set of two or more bookmarks whose keys are equal. Keys are compared
// by a 64-bit hash first; only bookmarks whose hashes meet have their keys made again and
// compared as text, so a collision never joins two pages.
template <typename Found>
void ForEachEqualKey(const BookmarkList& list, KeyFunction key, const std::vector<Hashed>& hashed,
                     Found found) {
    const std::size_t n = hashed.size();
    std::string buffer;
    std::string other;
    std::vector<std::pair<std::string, std::uint32_t>> run;
    std::vector<std::uint32_t> members;
    for (std::size_t a = 0; a < n;) {
        std::size_t b = a + 1;
        while (b < n && hashed[b].hash == hashed[a].hash)
            ++b;
        if (b - a == 2) {
            // Most groups are pairs: two keys compared in reused buffers, nothing sorted.
            key(UrlOf(list, hashed[a].index), buffer);
            key(UrlOf(list, hashed[a + 1].index), other);
            if (buffer == other) {
                members.assign({hashed[a].index, hashed[a + 1].index});
                found(members);
            }
        } else if (b - a > 2) {
            run.clear();
            for (std::size_t k = a; k < b; ++k) {
                key(UrlOf(list, hashed[k].index), buffer);
                run.emplace_back(buffer, hashed[k].index);
            }
            std::stable_sort(run.begin(), run.end(),
                             [](const auto& x, const auto& y) { return x.first < y.first; });
            for (std::size_t s = 0; s < run.size();) {
                std::size_t e = s + 1;
                while (e < run.size() && run[e].first == run[s].first)
                    ++e;
                if (e - s >= 2) {
                    members.clear();
                    for (std::size_t k = s; k < e; ++k)
                        members.push_back(run[k].second);
                    std::sort(members.begin(), members.end());
                    found(members);
                }
                s = e;
            }
        }
        a = b;
    }
}

void SortByFirst(std::vector<DuplicateGroup>& groups, std::size_t from) {
    std::sort(groups.begin() + static_cast<std::ptrdiff_t>(from), groups.end(),
              [](const DuplicateGroup& x, const DuplicateGroup& y) {
                  return x.members.front() < y.members.front();
              });
}

} // namespace

std::vector<DuplicateGroup> FindDuplicateGroups(const BookmarkList& list, bool likely) {
    std::vector<DuplicateGroup> groups;
    // The same group of each bookmark, told by its first member; a bookmark alone is its own.
    std::vector<std::uint32_t> sameAs;
    if (likely) {
        sameAs.resize(list.size());
        for (std::size_t i = 0; i < sameAs.size(); ++i)
            sameAs[i] = static_cast<std::uint32_t>(i);
    }
    // The two keys are made and sorted side by side: each is most of the work.
    std::vector<Hashed> likelyHashed;
    std::thread likelyThread;
    if (likely && list.size() >= kThreadFrom)
        likelyThread = std::thread([&] { likelyHashed = HashedKeys(list, &LikelyUrlKey); });
    const std::vector<Hashed> sameHashed = HashedKeys(list, &SameUrlKey);
    if (likelyThread.joinable())
        likelyThread.join();
    else if (likely)
        likelyHashed = HashedKeys(list, &LikelyUrlKey);

    ForEachEqualKey(list, &SameUrlKey, sameHashed, [&](const std::vector<std::uint32_t>& members) {
        groups.push_back({DuplicateKind::Same, members});
        if (likely)
            for (std::uint32_t m : members)
                sameAs[m] = members.front();
    });
    SortByFirst(groups, 0);
    if (!likely)
        return groups;
    const std::size_t firstLikely = groups.size();
    ForEachEqualKey(
        list, &LikelyUrlKey, likelyHashed, [&](const std::vector<std::uint32_t>& members) {
            // Only news when the loose form joins bookmarks of more than one same group.
            const bool joins = std::any_of(members.begin(), members.end(), [&](std::uint32_t m) {
                return sameAs[m] != sameAs[members.front()];
            });
            if (joins)
                groups.push_back({DuplicateKind::Likely, members});
        });
    SortByFirst(groups, firstLikely);
    return groups;
}

} // namespace brindle
