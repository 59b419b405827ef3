#include "store/SearchIndex.h"

#include "store/Bookmark.h"
#include "store/KeywordText.h"
#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <cstring>

namespace brindle {

namespace {
constexpr char kSeparator = '\n';
constexpr int kSearchFields = 7;
} // namespace

std::uint32_t SearchIndex::Intern(std::string_view word) {
    auto it = m_wordIds.find(word);
    if (it != m_wordIds.end())
        return it->second;
    const auto id = static_cast<std::uint32_t>(m_words.size());
    auto pos = m_wordIds.emplace(std::string(word), id).first;
    m_words.push_back(&pos->first); // node-based map: the key's address is stable
    return id;
}

void SearchIndex::SyncKeywords(const Bookmarks& bookmarks, std::uint64_t stamp) {
    if (m_kwValid && m_kwStamp == stamp && Size() == bookmarks.size())
        return;
    std::string kw;
    std::vector<std::size_t> kwStart;
    std::vector<std::uint32_t> ids;
    std::vector<std::size_t> idStart;
    kw.reserve(m_kw.size() + 64);
    kwStart.reserve(bookmarks.size() + 1);
    idStart.reserve(bookmarks.size() + 1);
    ids.reserve(m_ids.size() + 16);
    const std::size_t oldSize = m_kwValid ? Size() : 0;
    for (std::size_t i = 0; i < bookmarks.size(); ++i) {
        const std::string& text = bookmarks[i]->m_strKeywords;
        kwStart.push_back(kw.size());
        idStart.push_back(ids.size());
        kw += text;
        kw += kSeparator;
        // Most changes leave keyword texts alone: reuse the words of an unchanged text.
        if (i < oldSize && KeywordText(static_cast<std::uint32_t>(i)) == text) {
            const auto old = KeywordIds(static_cast<std::uint32_t>(i));
            ids.insert(ids.end(), old.begin(), old.end());
        } else {
            ForEachKeyword(text, [&](std::string_view w) { ids.push_back(Intern(w)); });
        }
    }
    kwStart.push_back(kw.size());
    idStart.push_back(ids.size());
    m_kw.swap(kw);
    m_kwStart.swap(kwStart);
    m_ids.swap(ids);
    m_idStart.swap(idStart);
    m_kwStamp = stamp;
    m_kwValid = true;
}

void SearchIndex::ScanKeywords(std::string_view term, bool partial, Hits& out) const {
    const std::size_t n = Size();
    if (term.empty() || n == 0)
        return;
    const char* base = m_kw.data();
    const std::size_t total = m_kw.size();
    const std::size_t len = term.size();
    std::size_t pos = 0;
    std::size_t i = 0;
    while (pos < total) {
        const void* found = memmem(base + pos, total - pos, term.data(), len);
        if (!found)
            break;
        const std::size_t p = static_cast<std::size_t>(static_cast<const char*>(found) - base);
        while (m_kwStart[i + 1] <= p)
            ++i;
        const std::size_t start = m_kwStart[i];
        const std::size_t end = m_kwStart[i + 1] - 1; // the separator
        bool hit = p + len <= end;
        if (hit && !partial)
            hit = (p == start || base[p - 1] == ' ') && (p + len == end || base[p + len] == ' ');
        if (hit) {
            out.push_back(static_cast<std::uint32_t>(i));
            pos = m_kwStart[i + 1]; // one hit per bookmark is enough
        } else {
            pos = p + 1;
        }
    }
}

const std::vector<std::uint32_t>& SearchIndex::SortedWordIds() {
    if (m_sortedWords.size() != m_words.size()) {
        m_sortedWords.resize(m_words.size());
        for (std::uint32_t id = 0; id < m_sortedWords.size(); ++id)
            m_sortedWords[id] = id;
        std::sort(m_sortedWords.begin(), m_sortedWords.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return *m_words[a] < *m_words[b]; });
    }
    return m_sortedWords;
}

void SearchIndex::SyncFields(const Bookmarks& bookmarks, std::uint64_t stamp) {
    if (m_fieldValid && m_fieldStamp == stamp && m_fieldStart.size() == bookmarks.size() * 7 + 1)
        return;
    std::string fields;
    fields.reserve(m_fields.size() + 256);
    std::vector<std::size_t> start;
    start.reserve(bookmarks.size() * kSearchFields + 1);
    for (const auto& b : bookmarks) {
        for (int bit = 0; bit < kSearchFields; ++bit) {
            start.push_back(fields.size());
            fields += b->SearchField(bit);
            fields += '\0';
        }
    }
    start.push_back(fields.size());
    m_fields.swap(fields);
    m_foldedFields.clear();
    m_fieldStart.swap(start);
    m_fieldStamp = stamp;
    m_fieldValid = true;
}

void SearchIndex::ScanFields(const StringMatcher& matcher, std::uint8_t mask, Hits& out) {
    const std::size_t slots = m_fieldStart.empty() ? 0 : m_fieldStart.size() - 1;
    if ((mask & 0x7F) == 0 || slots == 0)
        return;
    const std::string_view all(m_fields);
    auto field = [&](std::size_t slot) {
        return all.substr(m_fieldStart[slot], m_fieldStart[slot + 1] - m_fieldStart[slot] - 1);
    };
    if (!matcher.ScansRaw() || (mask & 0x7F) != 0x7F) {
        for (std::size_t b = 0; b * kSearchFields < slots; ++b) {
            for (int bit = 0; bit < kSearchFields; ++bit) {
                if ((mask & (1u << bit)) && matcher.Matches(field(b * kSearchFields + bit))) {
                    out.push_back(static_cast<std::uint32_t>(b));
                    break;
                }
            }
        }
        return;
    }
    // Every field selected: one pass over the whole copy (folded when case is ignored, so the
    // library's memmem does the work), rejecting matches that run over the end of a field.
    if (matcher.FoldsAscii() && m_foldedFields.size() != m_fields.size()) {
        m_foldedFields.resize(m_fields.size());
        std::transform(m_fields.begin(), m_fields.end(), m_foldedFields.begin(), AsciiLower);
    }
    const std::string_view hay = matcher.FoldsAscii() ? std::string_view(m_foldedFields) : all;
    const std::string& needle = matcher.Needle();
    const std::size_t len = needle.size();
    std::size_t pos = 0;
    std::size_t slot = 0;
    while (pos < hay.size()) {
        const void* found = memmem(hay.data() + pos, hay.size() - pos, needle.data(), len);
        if (!found)
            break;
        const std::size_t p =
            static_cast<std::size_t>(static_cast<const char*>(found) - hay.data());
        while (m_fieldStart[slot + 1] <= p)
            ++slot;
        if (p + len <= m_fieldStart[slot + 1] - 1) {
            const std::size_t b = slot / kSearchFields;
            out.push_back(static_cast<std::uint32_t>(b));
            if ((b + 1) * kSearchFields >= slots)
                break;
            pos = m_fieldStart[(b + 1) * kSearchFields];
        } else {
            pos = p + 1;
        }
    }
}

} // namespace brindle
