// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SearchIndex.h"

#include "store/BookmarkList.h"
#include "store/StringMatch.h"

#include <algorithm>
#include <cstring>

namespace brindle {

namespace {
constexpr char kSeparator = '\n';
} // namespace

void SearchIndex::SyncKeywords(BookmarkList& bookmarks, std::uint64_t stamp) {
    if (m_list == &bookmarks && m_kwValid && m_kwStamp == stamp && Size() == bookmarks.size())
        return;
    m_list = &bookmarks;
    std::size_t total = 0;
    for (const BookmarkRecord& r : bookmarks.Records())
        total += r.Text(BookmarkRecord::kKeywords).size() + 1;
    m_kw.clear();
    m_kw.shrink_to_fit(); // the copy follows the collection down as well as up
    m_kw.reserve(total);
    m_kwStart.resize(bookmarks.size() + 1);
    std::size_t i = 0;
    for (const BookmarkRecord& r : bookmarks.Records()) {
        m_kwStart[i++] = m_kw.size();
        m_kw += r.Text(BookmarkRecord::kKeywords);
        m_kw += kSeparator;
    }
    m_kwStart[i] = m_kw.size();
    m_kwStamp = stamp;
    m_kwValid = true;
}

std::size_t SearchIndex::WordCount() const {
    return m_list ? m_list->Storage().words.Count() : 0;
}

std::string_view SearchIndex::Word(std::uint32_t id) const {
    return m_list->Storage().words.Word(id);
}

const std::vector<std::uint32_t>& SearchIndex::SortedWordIds() {
    return m_list->Storage().words.SortedIds();
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

void SearchIndex::ScanFields(const BookmarkList& bookmarks, const StringMatcher& matcher,
                             std::uint8_t mask, Hits& out) {
    mask &= kSearchAllFields;
    const std::vector<BookmarkRecord>& records = bookmarks.Records();
    const std::size_t n = records.size();
    if (mask == 0 || n == 0)
        return;
    // Bookmarks that only the full lower-casing can decide: the byte scan cannot see their
    // matches. Checked one by one; their hits are merged in at the end.
    Hits special;
    auto slowMatch = [&](const BookmarkRecord& r) {
        for (int slot = 0; slot < kSearchFieldCount; ++slot)
            if ((mask & (1u << slot)) && matcher.Matches(r.Text(slot)))
                return true;
        return false;
    };
    const bool asciiNeedle = matcher.ScansRaw();
    const std::size_t len = matcher.Length();
    std::size_t i = 0;
    while (i < n) {
        // A run: records whose texts follow one another without a gap, scanned as one piece.
        std::size_t j = i + 1;
        while (j < n && records[j].text == records[j - 1].text + records[j - 1].BlockSize())
            ++j;
        if (!asciiNeedle) {
            // A needle that stays outside ASCII when lower-cased meets only texts outside ASCII.
            for (std::size_t k = i; k < j; ++k)
                if (records[k].Has(BookmarkRecord::kNonAscii) && slowMatch(records[k]))
                    out.push_back(static_cast<std::uint32_t>(k));
            i = j;
            continue;
        }
        const char* base = records[i].text;
        const std::string_view hay(base, static_cast<std::size_t>(records[j - 1].text - base) +
                                             records[j - 1].BlockSize());
        std::size_t rec = i;   // the record holding position `pos`
        std::size_t pos = 0;   // next position to look from
        std::size_t found = i; // records before this one were either hits or passed
        auto settle = [&](std::size_t upTo) {
            // Records passed without a byte hit: those with folding characters get the slow test.
            if (matcher.FoldsAscii())
                for (std::size_t k = found; k < upTo; ++k)
                    if (records[k].Has(BookmarkRecord::kFoldsToAscii) && slowMatch(records[k]))
                        special.push_back(static_cast<std::uint32_t>(k));
            found = upTo;
        };
        while (pos < hay.size()) {
            const std::size_t p = matcher.Find(hay, pos);
            if (p == std::string_view::npos)
                break;
            while (static_cast<std::size_t>(records[rec].text - base) + records[rec].BlockSize() <=
                   p)
                ++rec;
            const BookmarkRecord& r = records[rec];
            const std::size_t at = p - static_cast<std::size_t>(r.text - base);
            int slot = 0;
            while (r.end[slot] < at) // a position on a zero byte belongs to the field before
                ++slot;
            if (at + len <= r.end[slot] && (mask & (1u << slot))) {
                settle(rec);
                out.push_back(static_cast<std::uint32_t>(rec));
                found = rec + 1;
                ++rec;
                if (rec >= j)
                    break;
                pos = static_cast<std::size_t>(records[rec].text - base);
            } else {
                pos = p + 1;
            }
        }
        settle(j);
        i = j;
    }
    if (!special.empty()) {
        Hits merged;
        merged.reserve(out.size() + special.size());
        std::merge(out.begin(), out.end(), special.begin(), special.end(),
                   std::back_inserter(merged));
        out.swap(merged);
    }
}

} // namespace brindle
