// SPDX-License-Identifier: GPL-3.0-or-later
// The document's side of searching: running a query in the current mode, ordering the result,
// and testing one bookmark against the last search.

#include "store/BrindleDoc.h"

#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <numeric>

namespace {
CBrindleDoc::Hits AllIndices(std::size_t n) {
    CBrindleDoc::Hits all(n);
    std::iota(all.begin(), all.end(), 0u);
    return all;
}
} // namespace

void CBrindleDoc::Search(std::string_view text, bool matchCase, std::uint8_t fieldMask) {
    m_arrKeywordHits.clear();
    m_arrStringHits.clear();
    m_arrTerms.clear();

    if (m_nSearchMode == kSearchKeyword) {
        const std::string query = brindle::Trim(brindle::ToLower(text));
        Hits result;
        if (query.empty()) {
            m_bTrailingDot = false;
            result = AllIndices(m_arrBookmarks.size());
        } else {
            m_arrTerms = brindle::KeywordQuery::SplitTerms(query, &m_bTrailingDot);
            const bool partialLast = m_bPartialMatch && !m_bTrailingDot;
            if (m_bHitsOnly) {
                result =
                    m_query.Evaluate(m_arrTerms, AllIndices(m_arrBookmarks.size()), partialLast,
                                     brindle::BookmarkKeywordTexts(m_arrBookmarks));
            } else {
                m_index.SyncKeywords(m_arrBookmarks, m_changeStamp);
                result = m_query.Evaluate(m_arrTerms, AllIndices(m_arrBookmarks.size()),
                                          partialLast, m_index);
            }
        }
        OrderHits(result);
        m_arrKeywordHits = std::move(result);
        if (m_bHitsOnly)
            m_arrDictionary.clear();
        else
            RebuildDictionary();
    } else if (m_textSearch) {
        // Relevance orders text hits; an empty box lists everything in the usual order.
        Hits result;
        if (brindle::TrimView(text).empty()) {
            result = AllIndices(m_arrBookmarks.size());
            OrderHits(result);
        } else {
            result = m_textSearch(text);
        }
        m_arrStringHits = std::move(result);
    } else {
        const std::string_view needle = brindle::TrimView(text);
        Hits result;
        if (needle.empty()) {
            result = AllIndices(m_arrBookmarks.size());
        } else if ((fieldMask & kSearchAllFields) != 0) {
            brindle::SearchIndex::ScanFields(
                m_arrBookmarks, brindle::StringMatcher(needle, matchCase), fieldMask, result);
        }
        OrderHits(result);
        m_arrStringHits = std::move(result);
        m_bLastMatchCase = matchCase ? 1 : 0;
        m_byLastFields = fieldMask;
    }
    m_strLastSearch = std::string(text);
    RefreshViews();
}

std::optional<brindle::BookmarkFilter>
CBrindleDoc::SearchFilter(std::string_view text, bool matchCase, std::uint8_t fieldMask) const {
    using brindle::BookmarkList;
    using brindle::BookmarkRecord;
    if (m_nSearchMode == kSearchKeyword) {
        const std::string query = brindle::Trim(brindle::ToLower(text));
        if (query.empty())
            return std::nullopt;
        bool trailingDot = false;
        auto terms = brindle::KeywordQuery::SplitTerms(query, &trailingDot);
        const bool partialLast = m_bPartialMatch && !trailingDot;
        return brindle::BookmarkFilter{
            1u << BookmarkRecord::kKeywords,
            [terms = std::move(terms), partialLast,
             evaluator = brindle::KeywordQuery()](const BookmarkList& batch, Hits& keep) mutable {
                keep = evaluator.Evaluate(terms, AllIndices(batch.size()), partialLast,
                                          brindle::BookmarkKeywordTexts(batch));
            }};
    }
    const std::string_view needle = brindle::TrimView(text);
    if (m_textSearch || needle.empty())
        return std::nullopt;
    const auto mask = static_cast<std::uint8_t>(fieldMask & kSearchAllFields);
    return brindle::BookmarkFilter{mask, [matcher = brindle::StringMatcher(needle, matchCase),
                                          mask](const BookmarkList& batch, Hits& keep) {
                                       brindle::SearchIndex::ScanFields(batch, matcher, mask, keep);
                                   }};
}

void CBrindleDoc::RerunLastSearch() {
    const std::string text = m_strLastSearch; // Search overwrites it
    Search(text, m_bLastMatchCase != 0, m_byLastFields);
}

void CBrindleDoc::SearchWithOptions(std::string_view text) {
    Search(text, m_bMatchCase != 0, EffectiveStringFields());
}

void CBrindleDoc::OrderHits(Hits& hits) {
    m_order.Order(hits, m_arrBookmarks, m_nSortColumn, m_bSortAscending != 0);
}

void CBrindleDoc::SortActiveHits() {
    OrderHits(MutableActiveHits());
    Notify([](DocListener& l) { l.ReloadRows(); });
}

void CBrindleDoc::ToggleStringField(int bit) {
    if (bit >= 0 && bit < kSearchFieldCount)
        m_byStringFields = EffectiveStringFields() ^ static_cast<std::uint8_t>(1u << bit);
}

bool CBrindleDoc::MatchesSearch(std::uint32_t index, bool recheck) {
    if (index >= m_arrBookmarks.size())
        return false;
    if (!recheck) {
        const Hits& hits = ActiveHits();
        if (hits.size() == m_arrBookmarks.size())
            return true;
        return std::find(hits.begin(), hits.end(), index) != hits.end();
    }
    if (m_nSearchMode == kSearchKeyword) {
        const std::string query = brindle::Trim(brindle::ToLower(m_strLastSearch));
        if (query.empty())
            return true;
        bool trailingDot = false;
        const auto terms = brindle::KeywordQuery::SplitTerms(query, &trailingDot);
        // One bookmark: read it directly rather than bring the whole index up to date.
        const Hits result = m_query.Evaluate(terms, Hits{index}, m_bPartialMatch && !trailingDot,
                                             brindle::BookmarkKeywordTexts(m_arrBookmarks));
        return std::find(result.begin(), result.end(), index) != result.end();
    }
    const std::string_view needle = brindle::TrimView(m_strLastSearch);
    if (needle.empty())
        return true;
    if (m_textSearch) {
        // A bookmark's page text is not in the document: the last result stands.
        const Hits& hits = m_arrStringHits;
        return std::find(hits.begin(), hits.end(), index) != hits.end();
    }
    return m_arrBookmarks[index].MatchText(needle, m_bLastMatchCase != 0, m_byLastFields);
}
