// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DuplicateIndex.h"

#include "store/BookmarkList.h"

#include <functional>

namespace brindle {

std::uint32_t DuplicateIndex::Key(std::string_view name, std::string_view url) {
    const std::size_t a = std::hash<std::string_view>{}(name);
    const std::size_t b = std::hash<std::string_view>{}(url);
    const std::size_t h = a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void DuplicateIndex::Sync(const BookmarkList& list, std::uint64_t stamp) {
    if (m_valid && m_size == list.size() && m_stamp == stamp)
        return;
    Reset(list.size());
    for (std::uint32_t i = 0; i < list.size(); ++i) {
        const BookmarkRecord& r = list.Record(i);
        Insert(Key(r.Text(BookmarkRecord::kName), r.Text(BookmarkRecord::kURL)), i);
    }
    m_size = list.size();
    m_stamp = stamp;
    m_valid = true;
}

bool DuplicateIndex::Contains(std::uint32_t key, std::string_view name, std::string_view url,
                              const BookmarkList& list) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t pos = key & mask; m_slots[pos].index1; pos = (pos + 1) & mask) {
        if (m_slots[pos].hash != key)
            continue;
        const BookmarkRecord& r = list.Record(m_slots[pos].index1 - 1);
        if (r.Text(BookmarkRecord::kName) == name && r.Text(BookmarkRecord::kURL) == url)
            return true;
    }
    return false;
}

void DuplicateIndex::Added(std::uint32_t key, std::uint32_t index, std::uint64_t stamp) {
    Insert(key, index);
    m_size = index + 1;
    m_stamp = stamp;
    m_valid = true;
}

void DuplicateIndex::Reset(std::size_t expected) {
    std::size_t n = 64;
    while (n < expected * 2)
        n *= 2;
    m_slots.assign(n, Slot{});
    m_count = 0;
}

void DuplicateIndex::Insert(std::uint32_t hash, std::uint32_t index) {
    if ((m_count + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(old.size() * 2, Slot{});
        for (const Slot& s : old)
            if (s.index1)
                Place(s);
    }
    Place({index + 1, hash});
    ++m_count;
}

void DuplicateIndex::Place(Slot s) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t pos = s.hash & mask;
    while (m_slots[pos].index1)
        pos = (pos + 1) & mask;
    m_slots[pos] = s;
}

} // namespace brindle
