// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/KeywordText.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace brindle {

namespace {

enum class ByteClass : unsigned char { Word, Separator, Dropping };

constexpr std::array<ByteClass, 256> MakeClassTable() {
    std::array<ByteClass, 256> t{};
    for (auto& c : t)
        c = ByteClass::Word;
    for (unsigned char c : std::string_view(" (),-[]{}"))
        t[c] = ByteClass::Separator;
    for (unsigned char c : std::string_view("!\"#$%&'*+./:;<=>?@\\^_`|~"))
        t[c] = ByteClass::Dropping;
    for (unsigned char c = '0'; c <= '9'; ++c)
        t[c] = ByteClass::Dropping;
    return t;
}

constexpr std::array<ByteClass, 256> kClass = MakeClassTable();

} // namespace

bool InsertSorted(std::vector<std::string>& list, std::string_view word) {
    auto it = std::lower_bound(list.begin(), list.end(), word,
                               [](const std::string& a, std::string_view b) { return a < b; });
    if (it != list.end() && *it == word)
        return false;
    list.insert(it, std::string(word));
    return true;
}

int FindSorted(const std::vector<std::string>& list, std::string_view word) {
    auto it = std::lower_bound(list.begin(), list.end(), word,
                               [](const std::string& a, std::string_view b) { return a < b; });
    if (it != list.end() && *it == word)
        return static_cast<int>(it - list.begin());
    return -1;
}

bool EraseSorted(std::vector<std::string>& list, std::string_view word) {
    const int i = FindSorted(list, word);
    if (i < 0)
        return false;
    list.erase(list.begin() + i);
    return true;
}

std::string NormalizeKeywordText(std::string_view input, bool commaDrops,
                                 std::vector<std::string>* sorted) {
    std::vector<std::string> local;
    std::vector<std::string>& list = sorted ? *sorted : local;
    list.clear();

    std::string text;
    std::string word;
    bool dropping = false;
    auto classify = [&](unsigned char c) {
        if (c == ',' && commaDrops)
            return ByteClass::Dropping;
        return kClass[c];
    };
    auto atSeparator = [&] {
        if (dropping) {
            dropping = false;
        } else if (!word.empty() && InsertSorted(list, word)) {
            text += word;
            text += ' ';
        }
        word.clear();
    };

    for (unsigned char c : TrimView(input)) {
        switch (classify(c)) {
        case ByteClass::Separator:
            atSeparator();
            break;
        case ByteClass::Dropping:
            if (!dropping) {
                word.clear();
                dropping = true;
            }
            break;
        case ByteClass::Word:
            if (!dropping)
                word += static_cast<char>(c);
            break;
        }
    }
    atSeparator(); // the appended blank that ends the last word
    return Trim(text);
}

std::string NormalizeKeywordTextOnly(std::string_view input, bool commaDrops, bool* blankEdge) {
    const std::string_view in = TrimView(input);
    std::string text;
    text.reserve(in.size());
    // An accepted word is always one run of word bytes of the input: views into it will do.
    std::vector<std::string_view> seen;
    std::unordered_set<std::string_view> many; // once a text has more than a few words
    bool edge = false;
    std::size_t start = 0;
    std::size_t length = 0;
    bool dropping = false;
    auto atSeparator = [&] {
        if (dropping) {
            dropping = false;
        } else if (length > 0) {
            const std::string_view word = in.substr(start, length);
            bool fresh;
            if (many.empty() && seen.size() < 16) {
                fresh = std::find(seen.begin(), seen.end(), word) == seen.end();
                if (fresh)
                    seen.push_back(word);
            } else {
                if (many.empty())
                    many.insert(seen.begin(), seen.end());
                fresh = many.insert(word).second;
            }
            if (fresh) {
                if (!text.empty())
                    text += ' ';
                text += word;
                edge = edge || IsBlank(word.front()) || IsBlank(word.back());
            }
        }
        length = 0;
    };
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        const ByteClass cls = (c == ',' && commaDrops) ? ByteClass::Dropping : kClass[c];
        switch (cls) {
        case ByteClass::Separator:
            atSeparator();
            break;
        case ByteClass::Dropping:
            if (!dropping) {
                length = 0;
                dropping = true;
            }
            break;
        case ByteClass::Word:
            if (!dropping) {
                if (length == 0)
                    start = i;
                ++length;
            }
            break;
        }
    }
    atSeparator();
    if (blankEdge)
        *blankEdge = edge;
    // The words never hold a blank, and the first one cannot start with white space (the
    // input was trimmed): trimming the end is all NormalizeKeywordText's final trim can do.
    return Trim(text);
}

void AddKeywordTo(std::string& text, std::vector<std::string>& list, std::string_view keyword) {
    const std::string_view word = TrimView(keyword);
    if (word.empty() || !InsertSorted(list, word))
        return;
    if (list.size() == 1) {
        text = std::string(word);
    } else {
        text += ' ';
        text += word;
    }
}

bool RemoveKeywordFrom(std::string& text, std::vector<std::string>& list,
                       std::string_view keyword) {
    const std::string_view word = TrimView(keyword);
    if (word.empty() || !EraseSorted(list, word))
        return false;
    std::string pattern(1, ' ');
    pattern.append(word).push_back(' ');
    std::string padded(1, ' ');
    padded.append(text).push_back(' ');
    std::string out;
    out.reserve(padded.size());
    size_t pos = 0;
    for (;;) {
        const size_t hit = padded.find(pattern, pos);
        if (hit == std::string::npos)
            break;
        out.append(padded, pos, hit - pos);
        out += ' ';
        pos = hit + pattern.size();
    }
    out.append(padded, pos, std::string::npos);
    text = Trim(out);
    return true;
}

void SplitKeywordsInto(std::string_view text, std::vector<std::string>& list) {
    ForEachKeyword(text, [&](std::string_view w) { InsertSorted(list, w); });
}

bool ContainsWholeWord(std::string_view text, std::string_view word) {
    size_t pos = 0;
    while ((pos = text.find(word, pos)) != std::string_view::npos) {
        const size_t end = pos + word.size();
        if ((pos == 0 || text[pos - 1] == ' ') && (end == text.size() || text[end] == ' '))
            return true;
        ++pos;
    }
    return false;
}

} // namespace brindle
