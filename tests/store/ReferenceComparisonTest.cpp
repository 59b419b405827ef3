// SPDX-License-Identifier: GPL-3.0-or-later
// The document replaces several quadratic procedures (insertion sorts, scans of every bookmark,
// dictionary built by sorted insertion) with faster ones. Here each is compared, on random
// collections and queries, with a plain implementation written the slow way.

#include "store/BrindleDoc.h"
#include "store/KeywordQuery.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Hits = std::vector<std::uint32_t>;

// Stable binary-insertion ordering: each hit goes after every entry it compares equal to.
Hits PlainOrder(const CBrindleDoc& doc, const Hits& hits) {
    auto cmp = [&](std::uint32_t a, std::uint32_t b) {
        const int f = doc.SortColumn();
        if (f >= kFieldAddDate && f <= kFieldLastChecked) {
            const BrxTime ta = doc.GetFieldTime(a, f), tb = doc.GetFieldTime(b, f);
            return ta < tb ? -1 : (ta > tb ? 1 : 0);
        }
        const std::string sa = doc.GetFieldText(a, f), sb = doc.GetFieldText(b, f);
        return sa < sb ? -1 : (sa > sb ? 1 : 0);
    };
    Hits out;
    for (std::uint32_t h : hits) {
        std::size_t lo = 0, hi = out.size();
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            int c = cmp(h, out[mid]);
            if (!doc.SortAscending())
                c = -c;
            if (c < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(lo), h);
    }
    return out;
}

std::vector<std::string> PlainDictionary(const CBrindleDoc& doc, const Hits& hits) {
    std::vector<std::string> dict;
    for (std::uint32_t h : hits) {
        std::string text(doc.Bookmarks()[h].m_strKeywords);
        // Take the part before the first space, trim it, insert it; repeat on the trimmed rest.
        text = brindle::Trim(text);
        while (!text.empty()) {
            const std::size_t sp = text.find(' ');
            const std::string word = brindle::Trim(text.substr(0, sp));
            if (!word.empty() && std::find(dict.begin(), dict.end(), word) == dict.end())
                dict.insert(std::upper_bound(dict.begin(), dict.end(), word), word);
            text = sp == std::string::npos ? "" : brindle::Trim(text.substr(sp));
        }
    }
    return dict;
}

// Keyword search read straight from the bookmarks, term by term.
Hits PlainKeywordSearch(const CBrindleDoc& doc, const std::string& text) {
    const std::string query = brindle::Trim(brindle::ToLower(text));
    Hits all(doc.Bookmarks().size());
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    if (query.empty())
        return all;
    bool trailingDot = false;
    const auto terms = brindle::KeywordQuery::SplitTerms(query, &trailingDot);
    brindle::KeywordQuery evaluator;
    return evaluator.Evaluate(terms, all, doc.PartialMatch() && !trailingDot,
                              brindle::BookmarkKeywordTexts(doc.Bookmarks()));
}

Hits PlainStringSearch(const CBrindleDoc& doc, const std::string& text, bool matchCase,
                       std::uint8_t mask) {
    const std::string needle = brindle::Trim(text);
    Hits hits;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i) {
        if (needle.empty()) {
            hits.push_back(i);
            continue;
        }
        const BookmarkRef b = doc.Bookmarks()[i];
        for (int bit = 0; bit < 7; ++bit) {
            if (!(mask & (1 << bit)))
                continue;
            const std::string field =
                matchCase ? std::string(b.SearchField(bit)) : brindle::ToLower(b.SearchField(bit));
            const std::string n = matchCase ? needle : brindle::ToLower(needle);
            if (field.find(n) != std::string::npos) {
                hits.push_back(i);
                break;
            }
        }
    }
    return hits;
}

class RandomCollection {
  public:
    explicit RandomCollection(std::uint32_t seed) : rng(seed) {}

    void Fill(CBrindleDoc& doc, int count) {
        for (int i = 0; i < count; ++i) {
            std::string keywords;
            for (int k = Pick(6); k > 0; --k)
                keywords += Word() + " ";
            doc.AddBookmark({.name = Name(),
                             .url = "http://" + std::to_string(i) + "/" + Word(),
                             .keywords = keywords,
                             .description = Pick(3) ? Word() + " " + Word() : "",
                             .notes = Pick(4) ? "" : "Note",
                             .statusChecking = static_cast<std::uint16_t>(Pick(2)),
                             .schedule = kNoSchedule,
                             .status = Pick(2) ? "Waiting" : "Changed",
                             .addDate = Pick(5) * 1000000000LL,
                             .lastVisited = Pick(3) * 99999999LL,
                             .lastChecked = Pick(2)});
        }
    }
    std::string Query() {
        static const char* const kParts[] = {
            "web", "we", "tools", "news", "t", "o",   "&",           "|",        "!",
            "(",   ")",  ".",     " ",    "x", "WEB", "caf\xc3\xa9", "\xc3\x89", "old"};
        std::string q;
        for (int k = Pick(7); k >= 0; --k)
            q += kParts[Pick(static_cast<int>(std::size(kParts)))];
        return q;
    }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  private:
    std::string Word() {
        static const char* const kWords[] = {"web",  "Web", "webcam", "tools",       "toolsets",
                                             "news", "old", "t",      "caf\xc3\xa9", "CAF\xc3\x89",
                                             "x",    "mp3", "a-b",    "news"};
        return kWords[Pick(static_cast<int>(std::size(kWords)))];
    }
    std::string Name() {
        static const char* const kNames[] = {
            "Alpha", "alpha", "Beta", "", "Zed", "\xc3\x89t\xc3\xa9", "beta"};
        return std::string(kNames[Pick(static_cast<int>(std::size(kNames)))]) + "x" +
               std::to_string(Pick(3));
    }
    std::mt19937 rng;
};

TEST(ReferenceComparison, KeywordSearchOrderingAndDictionary) {
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        RandomCollection gen(seed);
        CBrindleDoc doc;
        gen.Fill(doc, 300);
        for (int round = 0; round < 60; ++round) {
            doc.SetSortOrder(gen.Pick(13), doc.SortAscending() != 0);
            doc.SetSortOrder(doc.SortColumn(), gen.Pick(2));
            doc.SetPartialMatch(gen.Pick(2));
            const std::string query = gen.Query();
            doc.Search(query, false, 0);
            const Hits expected = PlainOrder(doc, PlainKeywordSearch(doc, query));
            ASSERT_EQ(doc.KeywordHits(), expected)
                << "seed " << seed << " query '" << query << "' column " << doc.SortColumn();
            ASSERT_EQ(doc.Dictionary(), PlainDictionary(doc, expected)) << query;
            // Changing the collection must not leave a stale copy behind.
            if (round % 10 == 9) {
                doc.DeleteBookmark(
                    static_cast<std::uint32_t>(gen.Pick(static_cast<int>(doc.Bookmarks().size()))));
                doc.SetKeywords(0, "news web");
                doc.SetModifiedFlag(true);
            }
        }
    }
}

TEST(ReferenceComparison, StringSearch) {
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        RandomCollection gen(seed);
        CBrindleDoc doc;
        gen.Fill(doc, 300);
        doc.SetSearchMode(kSearchString);
        for (int round = 0; round < 80; ++round) {
            doc.SetSortOrder(gen.Pick(12), doc.SortAscending() != 0);
            const std::string text = gen.Query();
            const bool matchCase = gen.Pick(2);
            const auto mask = static_cast<std::uint8_t>(gen.Pick(3) ? 0x7F : gen.Pick(128));
            doc.Search(text, matchCase, mask);
            ASSERT_EQ(doc.StringHits(),
                      PlainOrder(doc, PlainStringSearch(doc, text, matchCase, mask)))
                << "seed " << seed << " text '" << text << "' mask " << int(mask);
        }
    }
}

TEST(ReferenceComparison, SortedInsertionAfterAdd) {
    RandomCollection gen(99);
    for (int round = 0; round < 40; ++round) {
        CBrindleDoc doc;
        gen.Fill(doc, 50);
        doc.SetSortOrder(gen.Pick(12), doc.SortAscending() != 0);
        doc.SetSortOrder(doc.SortColumn(), gen.Pick(2));
        doc.Search("", false, 0);
        RandomCollection extra(1000 + round);
        CBrindleDoc source;
        extra.Fill(source, 10);
        for (const BookmarkRef b : source.Bookmarks())
            doc.AddBookmarkToResult(b);
        Hits all(doc.Bookmarks().size());
        for (std::uint32_t i = 0; i < all.size(); ++i)
            all[i] = i;
        // Inserting one at a time must give what ordering the whole list at once gives.
        ASSERT_EQ(doc.KeywordHits(), PlainOrder(doc, all)) << "round " << round;
    }
}

} // namespace
