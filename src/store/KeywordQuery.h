// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyword query language: terms split at ".", each term an expression of operands joined by
// "&" (and), "|" (or), "!" (and not) and parentheses, reduced on a stack of operand entries.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class BookmarkList;

// Where the evaluator reads keyword texts from.
class KeywordTexts {
  public:
    using Hits = std::vector<std::uint32_t>;
    virtual ~KeywordTexts() = default;
    virtual std::size_t Size() const = 0;
    virtual std::string_view Text(std::uint32_t index) const = 0;
    // A faster pass over every bookmark in index order; false when there is none.
    virtual bool ScanAll(std::string_view term, bool partial, Hits& out) const {
        (void)term, (void)partial, (void)out;
        return false;
    }
};

// Keyword texts read straight from the bookmarks (for one-off tests of a few bookmarks, and
// for a single search).
class BookmarkKeywordTexts : public KeywordTexts {
  public:
    explicit BookmarkKeywordTexts(const BookmarkList& bookmarks) : m_bookmarks(bookmarks) {}
    std::size_t Size() const override;
    std::string_view Text(std::uint32_t index) const override;
    // One pass over the records' texts where they lie: for a search or two of a document read
    // for them, quicker than copying every keyword text first.
    bool ScanAll(std::string_view term, bool partial, Hits& out) const override;

  private:
    const BookmarkList& m_bookmarks;
};

class KeywordQuery {
  public:
    using Hits = std::vector<std::uint32_t>;

    // Splits a lower-cased, trimmed query at "." into its non-empty terms (blanks after a dot
    // dropped). `trailingDot` tells whether the query ended with ".".
    static std::vector<std::string> SplitTerms(std::string_view query, bool* trailingDot);

    // Runs every term in turn, each narrowing the result of the ones before it.
    // `candidates` is the starting set; `partialLast` selects partial matching for the last term.
    Hits Evaluate(const std::vector<std::string>& terms, Hits candidates, bool partialLast,
                  const KeywordTexts& texts);

    // One term's expression against a candidate set.
    Hits EvaluateTerm(std::string_view term, std::span<const std::uint32_t> candidates,
                      bool partial, const KeywordTexts& texts);

  private:
    struct Operand {
        int level;
        Hits hits;
        char op;
        std::string_view text;
    };

    Hits MatchOperand(std::string_view text, std::span<const std::uint32_t> candidates,
                      bool partial, const KeywordTexts& texts) const;
    void Combine(Operand& s, Operand& t, std::size_t size);
    void NextEpoch(size_t size);

    // Membership marks over bookmark indices; an epoch counter saves clearing them.
    std::vector<std::uint32_t> m_mark;
    std::uint32_t m_epoch = 0;
};

} // namespace brindle
