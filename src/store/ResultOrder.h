// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Orders result lists by a field. Equal entries keep their previous relative order, exactly as a
// stable insertion sort would. The ranks of the whole collection for the current column are
// computed once and reused by every search until the collection changes.

#include <cstddef>
#include <cstdint>
#include <vector>

struct BookmarkRef;

namespace brindle {

class BookmarkList;
struct BookmarkRecord;

// <0, 0 or >0 as bookmark a sorts before, with or after b on `field` (ascending). Fields 0-7
// compare by their display text, 8-11 by time value; other numbers compare equal.
int CompareByField(const BookmarkRef& a, const BookmarkRef& b, int field);
int CompareByField(const BookmarkRecord& a, const BookmarkRecord& b, int field);

class ResultOrder {
  public:
    using Bookmarks = BookmarkList;

    // Stable sort of `hits` by `field`, ascending or descending.
    void Order(std::vector<std::uint32_t>& hits, const Bookmarks& bookmarks, int field,
               bool ascending);
    // Index in `hits` where `index` goes: before the first entry it precedes and after every
    // entry it equals.
    static size_t InsertPosition(const std::vector<std::uint32_t>& hits, std::uint32_t index,
                                 const Bookmarks& bookmarks, int field, bool ascending);

    // The collection or a field changed: ranks must be computed again.
    void Invalidate() { m_valid = false; }

  private:
    void ComputeRanks(const Bookmarks& bookmarks, int field);

    bool m_valid = false;
    int m_field = -1;
    std::vector<std::uint32_t> m_rank; // dense rank of each bookmark on m_field
    std::uint32_t m_rankCount = 0;     // number of distinct ranks
};

} // namespace brindle
