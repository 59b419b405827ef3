// SPDX-License-Identifier: GPL-3.0-or-later
// The keyword dictionary of the current result and the document-wide keyword commands.

#include "store/BrindleDoc.h"

#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <unordered_set>

void CBrindleDoc::RebuildDictionary() {
    const Hits& hits = ActiveHits();
    if (!m_arrBookmarks.KeywordIdsReady() && hits.size() * 8 < m_arrBookmarks.size()) {
        // A narrow result of a file just read: its own keyword texts are quicker to split than
        // every text of the collection is to intern.
        std::vector<std::string_view> words;
        for (std::uint32_t i : hits)
            if (i < m_arrBookmarks.size())
                brindle::ForEachKeyword(
                    m_arrBookmarks.Record(i).Text(brindle::BookmarkRecord::kKeywords),
                    [&](std::string_view w) { words.push_back(w); });
        std::sort(words.begin(), words.end());
        words.erase(std::unique(words.begin(), words.end()), words.end());
        m_arrDictionary.assign(words.begin(), words.end());
        return;
    }
    if (!m_arrBookmarks.KeywordIdsReady() && hits.size() == m_arrBookmarks.size()) {
        // Every bookmark of a file just read (a window's first view): its distinct words are all
        // the dictionary needs. The records' word ids (four bytes a word) wait for a search
        // that narrows the list.
        brindle::WordTable words;
        for (const brindle::BookmarkRecord& r : m_arrBookmarks.Records())
            brindle::ForEachKeyword(r.Text(brindle::BookmarkRecord::kKeywords),
                                    [&](std::string_view w) { words.Intern(w); });
        m_arrDictionary.clear();
        m_arrDictionary.reserve(words.Count());
        for (std::uint32_t id : words.SortedIds())
            m_arrDictionary.emplace_back(words.Word(id));
        return;
    }
    m_arrBookmarks.EnsureKeywordIds();
    m_index.UseKeywordIds(m_arrBookmarks);
    m_dictionary.Build(m_arrDictionary, hits, m_index);
}

void CBrindleDoc::AddBookmarkKeywords(std::uint32_t index) {
    if (index < m_arrBookmarks.size())
        brindle::SplitKeywordsInto(m_arrBookmarks[index].m_strKeywords, m_arrDictionary);
}

namespace {
// False when bookmark i's keyword list cannot hold `word` (most bookmarks of a large collection,
// found without building their lists).
bool MayHoldKeyword(const brindle::BookmarkList& list, std::uint32_t i, std::string_view word) {
    const brindle::BookmarkRecord& r = list.Record(i);
    return r.Has(brindle::BookmarkRecord::kOwnList) ||
           r.Text(brindle::BookmarkRecord::kKeywords).find(word) != std::string_view::npos;
}
} // namespace

void CBrindleDoc::AddDictionaryKeyword(std::string_view keyword) {
    if (!keyword.empty())
        brindle::InsertSorted(m_arrDictionary, keyword);
    Notify([](DocListener& l) { l.RefillKeywords(); });
}

int CBrindleDoc::FindDictionaryKeyword(std::string_view keyword) const {
    return brindle::FindSorted(m_arrDictionary, keyword);
}

bool CBrindleDoc::IsQueryTerm(std::string_view keyword) const {
    return std::find(m_arrTerms.begin(), m_arrTerms.end(), keyword) != m_arrTerms.end();
}

void CBrindleDoc::DeleteKeywordEverywhere(std::string_view keyword) {
    m_strUndoKeyword = std::string(keyword);
    m_arrUndoKeywordOwners.clear();
    const std::string_view word = brindle::TrimView(keyword);
    for (std::uint32_t i = 0; !word.empty() && i < m_arrBookmarks.size(); ++i) {
        if (!MayHoldKeyword(m_arrBookmarks, i, word))
            continue;
        if (EditKeywords(i, [&](std::string& text, std::vector<std::string>& list) {
                return brindle::RemoveKeywordFrom(text, list, keyword);
            }))
            m_arrUndoKeywordOwners.push_back(i);
    }
    // Unlike the original design, the change is not silently lost at exit.
    if (!m_arrUndoKeywordOwners.empty())
        SetModifiedFlag(true);
    MaybeCompact();
}

void CBrindleDoc::DeleteKeywordCommand(std::string_view keyword) {
    ClearUndo(kUndoKeyword);
    DeleteKeywordEverywhere(keyword);
    if (m_nSearchMode == kSearchKeyword && IsQueryTerm(keyword)) {
        // The current query can no longer match anything.
        m_arrKeywordHits.clear();
        m_arrDictionary.clear();
        RefreshViews();
        return;
    }
    brindle::EraseSorted(m_arrDictionary, keyword);
    Notify([](DocListener& l) { l.RefillKeywords(); });
    RefreshViews();
}

void CBrindleDoc::RenameKeywordEverywhere(std::string_view oldKeyword,
                                          std::string_view newKeyword) {
    bool changed = false;
    const std::string_view word = brindle::TrimView(oldKeyword);
    for (std::uint32_t i = 0; !word.empty() && i < m_arrBookmarks.size(); ++i) {
        if (!MayHoldKeyword(m_arrBookmarks, i, word))
            continue;
        changed |= EditKeywords(i, [&](std::string& text, std::vector<std::string>& list) {
            if (!brindle::RemoveKeywordFrom(text, list, oldKeyword))
                return false;
            brindle::AddKeywordTo(text, list, newKeyword);
            return true;
        });
    }
    if (changed)
        SetModifiedFlag(true);
    MaybeCompact();
}

void CBrindleDoc::RenameKeywordInBookmark(std::uint32_t index, std::string_view oldKeyword,
                                          std::string_view newKeyword) {
    if (index >= m_arrBookmarks.size())
        return;
    const std::string_view oldWord = brindle::TrimView(oldKeyword);
    const std::string_view newWord = brindle::TrimView(newKeyword);
    if (oldWord.empty())
        return;
    // Whole words only: renaming "web" must not turn "webcam" into something else.
    std::vector<std::string> seen;
    std::string text;
    bool changed = false;
    brindle::ForEachKeyword(m_arrBookmarks[index].m_strKeywords, [&](std::string_view word) {
        if (word == oldWord) {
            changed = true;
            word = newWord;
        }
        if (word.empty() || !brindle::InsertSorted(seen, word))
            return;
        if (!text.empty())
            text += ' ';
        text += word;
    });
    if (!changed)
        return;
    BookmarkRef values = m_arrBookmarks[index];
    values.m_strKeywords = text;
    std::vector<std::string> list; // the list is rebuilt from the new text
    brindle::SplitKeywordsInto(text, list);
    Rewrite(index, values, &list);
    SetModifiedFlag(true);
    MaybeCompact();
    Notify([](DocListener& l) { l.ReloadRows(); });
}

void CBrindleDoc::RenameKeywordCommand(std::string_view oldKeyword, std::string_view newKeyword) {
    RenameKeywordEverywhere(oldKeyword, newKeyword);
    if (m_nSearchMode == kSearchKeyword && (IsQueryTerm(newKeyword) || IsQueryTerm(oldKeyword))) {
        m_arrKeywordHits.clear();
        m_arrDictionary.clear();
        RefreshViews();
        RerunLastSearch();
        return;
    }
    brindle::EraseSorted(m_arrDictionary, oldKeyword);
    AddDictionaryKeyword(newKeyword);
    RefreshViews();
}

void CBrindleDoc::ReplaceDictionaryKeyword(std::string_view oldKeyword,
                                           std::string_view newKeyword) {
    brindle::EraseSorted(m_arrDictionary, oldKeyword);
    AddDictionaryKeyword(newKeyword);
    RefreshViews();
}

void CBrindleDoc::ForgetKeywordResult() {
    m_arrKeywordHits.clear();
    m_arrDictionary.clear();
    RefreshViews();
}

void CBrindleDoc::UndoDeleteKeyword() {
    const bool isTerm = IsQueryTerm(m_strUndoKeyword);
    bool inResult = false;
    bool restored = false;
    for (std::uint32_t index : m_arrUndoKeywordOwners) {
        if (index >= m_arrBookmarks.size())
            continue;
        EditKeywords(index, [&](std::string& text, std::vector<std::string>& list) {
            const std::size_t before = list.size();
            brindle::AddKeywordTo(text, list, m_strUndoKeyword);
            return list.size() != before;
        });
        restored = true;
        if (!isTerm && !inResult && MatchesSearch(index, false))
            inResult = true;
    }
    if (restored)
        SetModifiedFlag(true);
    MaybeCompact();
    if (isTerm) {
        RerunLastSearch();
    } else if (inResult) {
        AddDictionaryKeyword(m_strUndoKeyword);
        RefreshViews();
    } else {
        RefreshViews();
    }
}

std::string CBrindleDoc::CollectAllKeywords() const {
    std::unordered_set<std::string_view> seen;
    std::string result;
    for (const brindle::BookmarkRecord& r : m_arrBookmarks.Records()) {
        brindle::ForEachKeyword(r.Text(brindle::BookmarkRecord::kKeywords),
                                [&](std::string_view word) {
                                    if (!seen.insert(word).second)
                                        return;
                                    if (!result.empty())
                                        result += '\n';
                                    result += word;
                                });
    }
    return result;
}
