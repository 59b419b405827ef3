#pragma once
// A contiguous copy of the texts that searches read, so that a keystroke scans memory in order
// instead of chasing one pointer per bookmark and field. It is rebuilt when the document's change
// stamp moves; keyword words are interned so the dictionary is built from small integers.

#include "store/KeywordQuery.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CBookmark;

namespace brindle {

class StringMatcher;

class SearchIndex : public KeywordTexts {
  public:
    using Bookmarks = std::vector<std::unique_ptr<CBookmark>>;
    using Hits = std::vector<std::uint32_t>;

    // Brings the keyword texts and word ids up to date with `bookmarks`.
    void SyncKeywords(const Bookmarks& bookmarks, std::uint64_t stamp);
    // Brings the seven string-search fields up to date with `bookmarks`.
    void SyncFields(const Bookmarks& bookmarks, std::uint64_t stamp);

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

    // The interned words of bookmark i's keyword text (split at spaces, trimmed).
    std::span<const std::uint32_t> KeywordIds(std::uint32_t i) const {
        return std::span<const std::uint32_t>(m_ids).subspan(m_idStart[i],
                                                             m_idStart[i + 1] - m_idStart[i]);
    }
    std::size_t WordCount() const { return m_words.size(); }
    const std::string& Word(std::uint32_t id) const { return *m_words[id]; }
    // Every word id in byte order of the words.
    const std::vector<std::uint32_t>& SortedWordIds();

    // Appends, in index order, every bookmark with a match in a field selected by `mask`.
    void ScanFields(const StringMatcher& matcher, std::uint8_t mask, Hits& out);

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::uint32_t Intern(std::string_view word);

    // Keyword texts, each followed by one separator byte; m_kwStart has Size()+1 entries.
    std::string m_kw;
    std::vector<std::size_t> m_kwStart;
    std::vector<std::uint32_t> m_ids;
    std::vector<std::size_t> m_idStart;
    std::uint64_t m_kwStamp = 0;
    bool m_kwValid = false;

    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_wordIds;
    std::vector<const std::string*> m_words;
    std::vector<std::uint32_t> m_sortedWords;

    // The seven fields of each bookmark in string-search bit order, each followed by a
    // separator byte; m_fieldStart has 7 * Size() + 1 entries.
    std::string m_fields;
    std::string m_foldedFields; // m_fields with A-Z folded to a-z, made when first needed
    std::vector<std::size_t> m_fieldStart;
    std::uint64_t m_fieldStamp = 0;
    bool m_fieldValid = false;
};

} // namespace brindle
