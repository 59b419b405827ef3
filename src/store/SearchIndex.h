// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What searches read. Keyword search: a contiguous copy of the keyword texts, so that a keystroke
// scans memory in order (brought up to date when the document's change stamp moves), and the
// records' interned word ids, so that the dictionary is built from small integers. String search
// reads the records' texts where they lie.

#include "store/BookmarkList.h"
#include "store/KeywordQuery.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class BookmarkList;
class StringMatcher;

class SearchIndex : public KeywordTexts {
  public:
    using Hits = std::vector<std::uint32_t>;

    // Brings the keyword texts up to date with `bookmarks`.
    void SyncKeywords(BookmarkList& bookmarks, std::uint64_t stamp);
    // Reads word ids from `bookmarks` (after EnsureKeywordIds): the records' own, shared, not
    // copied.
    void UseKeywordIds(BookmarkList& bookmarks) { m_list = &bookmarks; }

    std::size_t Size() const override { return m_kwStart.empty() ? 0 : m_kwStart.size() - 1; }
    std::string_view Text(std::uint32_t i) const override { return KeywordText(i); }
    bool ScanAll(std::string_view term, bool partial, Hits& out) const override {
        ScanKeywords(term, partial, out);
        return true;
    }
    std::string_view KeywordText(std::uint32_t i) const {
        return std::string_view(m_kw).substr(m_kwStart[i], m_kwStart[i + 1] - m_kwStart[i] - 1);
    }
    // Appends, in index order, every bookmark whose keyword text contains `term` (partial) or
    // holds it as a whole space-delimited word.
    void ScanKeywords(std::string_view term, bool partial, Hits& out) const;

    // Bookmarks whose word ids can be read (those of the list last given).
    std::size_t IdCount() const { return m_list ? m_list->size() : 0; }
    // The interned words of bookmark i's keyword text (split at spaces, trimmed, each once).
    std::span<const std::uint32_t> KeywordIds(std::uint32_t i) const {
        return m_list->KeywordIds(i);
    }
    std::size_t WordCount() const;
    std::string_view Word(std::uint32_t id) const;
    // Every word id in byte order of the words.
    const std::vector<std::uint32_t>& SortedWordIds();

    // Appends, in index order, every bookmark with a match in a field selected by `mask`.
    static void ScanFields(const BookmarkList& bookmarks, const StringMatcher& matcher,
                           std::uint8_t mask, Hits& out);

  private:
    BookmarkList* m_list = nullptr;
    // Keyword texts, each followed by one separator byte; m_kwStart has Size()+1 entries.
    std::string m_kw;
    std::vector<std::size_t> m_kwStart;
    std::uint64_t m_kwStamp = 0;
    bool m_kwValid = false;
};

} // namespace brindle
