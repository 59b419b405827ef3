// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyword text rules: the normalising scan that turns an entry into distinct keywords, and
// the split at spaces that every list builder (bookmark list, dictionary) uses.

#include <string>
#include <string_view>
#include <vector>

namespace brindle {

// Runs the keyword scan over `input`. Returns the keyword text (accepted words in order of first
// appearance, single spaces); when `sorted` is given it receives the same words in byte order.
// With `commaDrops` a comma discards its word instead of separating (the add path's rule).
std::string NormalizeKeywordText(std::string_view input, bool commaDrops = false,
                                 std::vector<std::string>* sorted = nullptr);

// The text NormalizeKeywordText gives, without building its list. `blankEdge` is set when an
// accepted word starts or ends with white space other than a blank (a tab is a word byte): only
// then is the list not what splitting the text gives.
std::string NormalizeKeywordTextOnly(std::string_view input, bool commaDrops, bool* blankEdge);

// Inserts `word` at its byte-order position unless present; true when inserted.
bool InsertSorted(std::vector<std::string>& list, std::string_view word);
// Index of `word` in a byte-ordered list, or -1.
int FindSorted(const std::vector<std::string>& list, std::string_view word);
// Removes `word` from a byte-ordered list; true when it was there.
bool EraseSorted(std::vector<std::string>& list, std::string_view word);

// The keyword list rules of a bookmark, on its keyword text and sorted keyword list.
// AddKeywordTo: trims the keyword; unless it is empty or listed, inserts it into the list and
// appends it to the text. RemoveKeywordFrom: trims; when listed, removes it from the list and
// every " keyword " from " text " (then trims the text); true when it was listed.
void AddKeywordTo(std::string& text, std::vector<std::string>& list, std::string_view keyword);
bool RemoveKeywordFrom(std::string& text, std::vector<std::string>& list, std::string_view keyword);

// Calls `take(word)` for each trimmed, non-empty piece of `text` between spaces, in order.
template <typename F> void ForEachKeyword(std::string_view text, F&& take);

// Splits a keyword text into `list` (sorted, each word once).
void SplitKeywordsInto(std::string_view text, std::vector<std::string>& list);

// True when `word` occurs in `text` as a whole space-delimited word
// (" word " in " text "). `word` must not be empty.
bool ContainsWholeWord(std::string_view text, std::string_view word);

} // namespace brindle

#include "store/TextUtil.h"

template <typename F> void brindle::ForEachKeyword(std::string_view text, F&& take) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = TrimView(text.substr(pos, end - pos));
        if (!word.empty())
            take(word);
        pos = end + 1;
    }
}
