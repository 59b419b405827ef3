// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Dictionary.h"

#include "store/SearchIndex.h"

#include <algorithm>

namespace brindle {

void DictionaryBuilder::Build(std::vector<std::string>& out, std::span<const std::uint32_t> hits,
                              SearchIndex& index) {
    out.clear();
    if (m_stamp.size() < index.WordCount())
        m_stamp.resize(index.WordCount(), 0);
    if (++m_epoch == 0) { // wrapped: old stamps could look current
        std::fill(m_stamp.begin(), m_stamp.end(), 0);
        m_epoch = 1;
    }
    std::vector<std::uint32_t> found;
    auto take = [&](std::uint32_t i) {
        for (std::uint32_t id : index.KeywordIds(i)) {
            if (m_stamp[id] != m_epoch) {
                m_stamp[id] = m_epoch;
                found.push_back(id);
            }
        }
    };
    const std::size_t n = index.IdCount();
    if (hits.size() * 4 > n) {
        // Many hits: visit them in index order, so that the records and their ids are read in
        // the order they lie in memory (the dictionary is a set; the order of visits is free).
        m_marked.assign(n, 0);
        for (std::uint32_t i : hits)
            if (i < n)
                m_marked[i] = 1;
        for (std::uint32_t i = 0; i < n; ++i)
            if (m_marked[i])
                take(i);
    } else {
        for (std::uint32_t i : hits)
            if (i < n)
                take(i);
    }
    out.reserve(found.size());
    if (found.size() * 8 < index.WordCount()) {
        std::sort(found.begin(), found.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return index.Word(a) < index.Word(b); });
        for (std::uint32_t id : found)
            out.emplace_back(index.Word(id));
        return;
    }
    for (std::uint32_t id : index.SortedWordIds())
        if (m_stamp[id] == m_epoch)
            out.emplace_back(index.Word(id));
}

} // namespace brindle
