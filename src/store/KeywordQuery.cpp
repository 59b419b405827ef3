// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/KeywordQuery.h"

#include "store/BookmarkList.h"
#include "store/KeywordText.h"
#include "store/SearchIndex.h"
#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <numeric>

namespace brindle {

std::size_t BookmarkKeywordTexts::Size() const {
    return m_bookmarks.size();
}

std::string_view BookmarkKeywordTexts::Text(std::uint32_t index) const {
    return m_bookmarks.Record(index).Text(BookmarkRecord::kKeywords);
}

bool BookmarkKeywordTexts::ScanAll(std::string_view term, bool partial, Hits& out) const {
    if (term.empty())
        return true;
    // Keyword texts are compared byte for byte (the query is lower-cased, as they are).
    Hits found;
    SearchIndex::ScanFields(m_bookmarks, StringMatcher(term, true),
                            std::uint8_t{1u << BookmarkRecord::kKeywords}, partial ? out : found);
    for (std::uint32_t i : found)
        if (ContainsWholeWord(Text(i), term))
            out.push_back(i);
    return true;
}

std::vector<std::string> KeywordQuery::SplitTerms(std::string_view query, bool* trailingDot) {
    if (trailingDot)
        *trailingDot = !query.empty() && query.back() == '.';
    std::vector<std::string> terms;
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t end = query.find('.', pos);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view term = TrimView(query.substr(pos, end - pos));
        if (!term.empty())
            terms.emplace_back(term);
        pos = end + 1;
    }
    return terms;
}

KeywordQuery::Hits KeywordQuery::Evaluate(const std::vector<std::string>& terms, Hits candidates,
                                          bool partialLast, const KeywordTexts& texts) {
    Hits result = std::move(candidates);
    for (size_t i = 0; i < terms.size(); ++i) {
        if (result.empty())
            break;
        const bool partial = partialLast && i + 1 == terms.size();
        result = EvaluateTerm(terms[i], result, partial, texts);
    }
    return result;
}

KeywordQuery::Hits KeywordQuery::MatchOperand(std::string_view text,
                                              std::span<const std::uint32_t> candidates,
                                              bool partial, const KeywordTexts& texts) const {
    Hits hits;
    if (text.empty())
        return hits;
    const std::size_t n = texts.Size();
    // The candidates are every bookmark in index order: one pass over all texts will do.
    bool everyBookmark = candidates.size() == n;
    for (std::size_t i = 0; everyBookmark && i < candidates.size(); ++i)
        everyBookmark = candidates[i] == i;
    if (everyBookmark && texts.ScanAll(text, partial, hits))
        return hits;
    for (std::uint32_t index : candidates) {
        if (index >= n)
            continue;
        const std::string_view k = texts.Text(index);
        if (partial ? k.find(text) != std::string_view::npos : ContainsWholeWord(k, text))
            hits.push_back(index);
    }
    return hits;
}

void KeywordQuery::NextEpoch(size_t size) {
    if (m_mark.size() < size)
        m_mark.resize(size, 0);
    if (++m_epoch == 0) {
        std::fill(m_mark.begin(), m_mark.end(), 0);
        m_epoch = 1;
    }
}

void KeywordQuery::Combine(Operand& s, Operand& t, std::size_t n) {
    switch (s.op) {
    case '&':
        if (t.text.empty())
            break; // an empty operand leaves the left side as it is
        if (t.hits.empty()) {
            s.hits.clear();
            break;
        }
        // The hits of T that are also in S, in T's order.
        NextEpoch(n);
        for (std::uint32_t h : s.hits)
            m_mark[h] = m_epoch;
        std::erase_if(t.hits, [&](std::uint32_t h) { return m_mark[h] != m_epoch; });
        s.hits = std::move(t.hits);
        break;
    case '|':
        if (t.hits.empty() && t.text.empty()) {
            t.hits.resize(n);
            std::iota(t.hits.begin(), t.hits.end(), 0u);
        }
        NextEpoch(n);
        {
            Hits merged;
            merged.reserve(s.hits.size() + t.hits.size());
            for (const Hits* list : {&s.hits, &t.hits})
                for (std::uint32_t h : *list)
                    if (m_mark[h] != m_epoch) {
                        m_mark[h] = m_epoch;
                        merged.push_back(h);
                    }
            s.hits = std::move(merged);
        }
        break;
    case '!':
        if (t.hits.empty())
            break;
        NextEpoch(n);
        for (std::uint32_t h : t.hits)
            m_mark[h] = m_epoch;
        std::erase_if(s.hits, [&](std::uint32_t h) { return m_mark[h] == m_epoch; });
        break;
    default:
        break;
    }
    s.op = t.op;
}

KeywordQuery::Hits KeywordQuery::EvaluateTerm(std::string_view termIn,
                                              std::span<const std::uint32_t> candidates,
                                              bool partial, const KeywordTexts& texts) {
    // The evaluator reads (operand, operator) pairs; "." marks the end of the term.
    std::string term(termIn);
    term += '.';
    const std::string_view view(term);

    std::vector<Operand> stack;
    int level = 0;
    size_t pos = 0;
    while (pos < view.size()) {
        const size_t at = view.find_first_of("&|!().", pos);
        const std::string_view text = TrimView(view.substr(pos, at - pos));
        const char op = view[at];
        pos = at + 1;
        if (op == '(') {
            ++level; // an operand written before "(" is ignored
            continue;
        }
        stack.push_back({level, MatchOperand(text, candidates, partial, texts), op, text});
        while (stack.size() >= 2) {
            Operand& t = stack.back();
            Operand& s = stack[stack.size() - 2];
            if (s.op == ')') {
                s.op = t.op;
                --s.level;
                --level;
                stack.pop_back();
                continue;
            }
            if (s.level != t.level)
                break;
            Combine(s, t, texts.Size());
            stack.pop_back();
        }
    }
    return stack.empty() ? Hits{} : std::move(stack.back().hits);
}

} // namespace brindle
