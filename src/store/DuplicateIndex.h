// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds a bookmark by name and URL without scanning the collection: open addressing over bookmark
// indices. The document keeps it up to date as it adds bookmarks and rebuilds it after any other
// change (a change stamp or another size tells it is stale).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brindle {

class BookmarkList;

class DuplicateIndex {
  public:
    static std::uint32_t Key(std::string_view name, std::string_view url);

    // Brings the index up to date with `list` unless it already is (same size and stamp).
    void Sync(const BookmarkList& list, std::uint64_t stamp);
    // Forgets everything: the next Sync rebuilds.
    void Invalidate() { m_valid = false; }
    bool Contains(std::uint32_t key, std::string_view name, std::string_view url,
                  const BookmarkList& list) const;
    // The list gained exactly bookmark `index` with `key`: the index stays valid for the list's
    // new size and stamp.
    void Added(std::uint32_t key, std::uint32_t index, std::uint64_t stamp);

  private:
    struct Slot {
        std::uint32_t index1 = 0; // bookmark index + 1; 0 = empty
        std::uint32_t hash = 0;
    };
    void Reset(std::size_t expected);
    void Insert(std::uint32_t hash, std::uint32_t index);
    void Place(Slot s);

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    std::size_t m_size = 0; // bookmarks of the list it describes
    std::uint64_t m_stamp = 0;
    bool m_valid = false;
};

} // namespace brindle
