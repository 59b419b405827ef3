#include "store/Dictionary.h"

#include "store/Bookmark.h"
#include "store/KeywordText.h"

#include <algorithm>

namespace brindle {

std::uint32_t DictionaryBuilder::Intern(std::string_view word) {
    auto it = m_ids.find(word);
    if (it != m_ids.end())
        return it->second;
    const auto id = static_cast<std::uint32_t>(m_words.size());
    auto [pos, inserted] = m_ids.emplace(std::string(word), id);
    (void)inserted;
    m_words.push_back(&pos->first); // node-based map: the key's address is stable
    return id;
}

const std::vector<std::uint32_t>& DictionaryBuilder::IdsOf(std::uint32_t index,
                                                           const CBookmark& b) {
    if (index >= m_entries.size())
        m_entries.resize(index + 1);
    Entry& e = m_entries[index];
    if (!e.valid || e.text != b.m_strKeywords) {
        e.text = b.m_strKeywords;
        e.ids.clear();
        ForEachKeyword(e.text, [&](std::string_view w) { e.ids.push_back(Intern(w)); });
        e.valid = true;
    }
    return e.ids;
}

const std::vector<std::uint32_t>& DictionaryBuilder::SortedIds() {
    if (m_sorted.size() != m_words.size()) {
        m_sorted.resize(m_words.size());
        for (std::uint32_t i = 0; i < m_sorted.size(); ++i)
            m_sorted[i] = i;
        std::sort(m_sorted.begin(), m_sorted.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return *m_words[a] < *m_words[b]; });
    }
    return m_sorted;
}

void DictionaryBuilder::Build(std::vector<std::string>& out, std::span<const std::uint32_t> hits,
                              const Bookmarks& bookmarks) {
    out.clear();
    if (++m_epoch == 0) { // wrapped: old stamps could look current
        std::fill(m_stamp.begin(), m_stamp.end(), 0);
        m_epoch = 1;
    }
    std::vector<std::uint32_t> found;
    for (std::uint32_t index : hits) {
        if (index >= bookmarks.size())
            continue;
        for (std::uint32_t id : IdsOf(index, *bookmarks[index])) {
            if (id >= m_stamp.size())
                m_stamp.resize(m_words.size(), 0);
            if (m_stamp[id] != m_epoch) {
                m_stamp[id] = m_epoch;
                found.push_back(id);
            }
        }
    }
    out.reserve(found.size());
    if (found.size() * 8 < m_words.size()) {
        std::sort(found.begin(), found.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return *m_words[a] < *m_words[b]; });
        for (std::uint32_t id : found)
            out.push_back(*m_words[id]);
    } else {
        for (std::uint32_t id : SortedIds())
            if (id < m_stamp.size() && m_stamp[id] == m_epoch)
                out.push_back(*m_words[id]);
    }
}

} // namespace brindle
