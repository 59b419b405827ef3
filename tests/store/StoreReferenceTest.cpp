// SPDX-License-Identifier: GPL-3.0-or-later
// The document keeps its bookmarks as records over shared text chunks with interned keyword ids.
// Here a plain model, a vector of CBookmark values changed by the record's own operations the
// straightforward way, runs the same random edit sequences as the document; after each step
// every field, every keyword list and the search results must agree.

#include "store/BrindleDoc.h"
#include "store/KeywordQuery.h"
#include "store/KeywordText.h"
#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Hits = std::vector<std::uint32_t>;

// The store the slow way: one CBookmark per bookmark, every rule applied in full.
class PlainStore {
  public:
    std::vector<CBookmark> bookmarks;
    std::vector<CBookmark> deleted;
    std::vector<std::string> schedules;
    std::string undoKeyword;
    Hits undoOwners;

    bool Add(const BookmarkFields& f) {
        const std::string name = brindle::Trim(f.name);
        if (name.empty())
            return false;
        CBookmark b;
        b.m_strKeywords =
            brindle::NormalizeKeywordText(brindle::TrimView(f.keywords), true, &b.m_arrKeywords);
        for (const CBookmark& o : bookmarks)
            if (o.m_strName == name && o.m_strURL == f.url)
                return false;
        const bool known =
            std::find(schedules.begin(), schedules.end(), f.schedule) != schedules.end();
        b.m_strName = name;
        b.m_strURL = f.url;
        b.m_strDescription = f.description;
        b.m_strNotes = f.notes;
        b.m_wStatusChecking = f.statusChecking;
        b.m_strSchedule = known ? std::string(f.schedule) : kNoSchedule;
        b.m_strStatus = f.status;
        b.m_tAddDate = f.addDate;
        b.m_tLastVisited = f.lastVisited;
        b.m_tLastModified = f.lastModified;
        b.m_tLastChecked = f.lastChecked;
        bookmarks.push_back(std::move(b));
        return true;
    }
    void Delete(const Hits& indices) {
        std::vector<char> gone(bookmarks.size(), 0);
        for (std::uint32_t i : indices)
            if (i < bookmarks.size() && !gone[i]) {
                gone[i] = 1;
                deleted.push_back(bookmarks[i]);
            }
        std::vector<CBookmark> kept;
        for (std::size_t i = 0; i < bookmarks.size(); ++i)
            if (!gone[i])
                kept.push_back(bookmarks[i]);
        bookmarks.swap(kept);
    }
    void Undo() {
        std::vector<CBookmark> back;
        back.swap(deleted);
        for (const CBookmark& b : back)
            Add(FieldsOf(b));
    }
    void RenameEverywhere(const std::string& from, const std::string& to) {
        for (CBookmark& b : bookmarks)
            b.RenameKeyword(from, to);
    }
    void DeleteKeyword(const std::string& word) {
        undoKeyword = word;
        undoOwners.clear();
        for (std::uint32_t i = 0; i < bookmarks.size(); ++i)
            if (bookmarks[i].RemoveKeyword(word))
                undoOwners.push_back(i);
    }
    void UndoKeyword() {
        for (std::uint32_t i : undoOwners)
            if (i < bookmarks.size())
                bookmarks[i].AddKeyword(undoKeyword);
    }
    // Every whole word `from` of one bookmark becomes `to`; the list is rebuilt from the text.
    void RenameInBookmark(std::uint32_t index, const std::string& from, const std::string& to) {
        const std::string oldWord = brindle::Trim(from);
        const std::string newWord = brindle::Trim(to);
        if (index >= bookmarks.size() || oldWord.empty())
            return;
        CBookmark& b = bookmarks[index];
        std::vector<std::string> seen;
        std::string text;
        bool changed = false;
        std::string rest = b.m_strKeywords;
        std::size_t pos = 0;
        while (pos <= rest.size()) {
            std::size_t end = rest.find(' ', pos);
            if (end == std::string::npos)
                end = rest.size();
            std::string word = brindle::Trim(rest.substr(pos, end - pos));
            pos = end + 1;
            if (word.empty())
                continue;
            if (word == oldWord) {
                changed = true;
                word = newWord;
            }
            if (word.empty() || std::find(seen.begin(), seen.end(), word) != seen.end())
                continue;
            seen.push_back(word);
            if (!text.empty())
                text += ' ';
            text += word;
        }
        if (!changed)
            return;
        b.m_strKeywords = text;
        b.RebuildKeywordList();
    }
    void SetText(std::uint32_t index, int field, const std::string& text) {
        CBookmark& b = bookmarks[index];
        *const_cast<std::string*>(b.TextField(field)) = text;
        if (field == kFieldKeywords)
            b.RebuildKeywordList();
    }
};

BrxTime& TimeOf(CBookmark& b, int field) {
    switch (field) {
    case kFieldAddDate:
        return b.m_tAddDate;
    case kFieldLastVisited:
        return b.m_tLastVisited;
    case kFieldLastModified:
        return b.m_tLastModified;
    default:
        return b.m_tLastChecked;
    }
}

// Words and texts with the characters that have tripped text handling before: a Kelvin sign
// (lower case "k"), a dotted capital I (lower case "i"), a capital sharp s, a final sigma,
// tabs at word edges, commas, digits and operators.
const std::vector<std::string>& Pieces() {
    static const std::vector<std::string> pieces = {"web",
                                                    "Web",
                                                    "webcam",
                                                    "news",
                                                    "tools",
                                                    "k",
                                                    "K",
                                                    "\xE2\x84\xAA",
                                                    "\xE2\x84\xAA"
                                                    "ey",
                                                    "i",
                                                    "\xC4\xB0",
                                                    "ss",
                                                    "\xE1\xBA\x9E",
                                                    "\xC3\x9F",
                                                    "\xCF\x82",
                                                    "\xCE\xA3",
                                                    "\xCF\x83",
                                                    "caf\xC3\xA9",
                                                    "\tb",
                                                    "a\t",
                                                    "x,y",
                                                    "mp3",
                                                    "r&d",
                                                    "e-mail",
                                                    " ",
                                                    "(old)",
                                                    "Java",
                                                    "java",
                                                    "prog"};
    return pieces;
}

class Generator {
  public:
    explicit Generator(std::uint32_t seed) : m_rng(seed) {}
    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }
    std::string Piece() {
        return Pieces()[static_cast<std::size_t>(Pick(static_cast<int>(Pieces().size())))];
    }
    std::string Text(int maxPieces) {
        std::string s;
        for (int k = Pick(maxPieces + 1); k > 0; --k) {
            if (!s.empty() && Pick(3))
                s += ' ';
            s += Piece();
        }
        return s;
    }

  private:
    std::mt19937 m_rng;
};

void ExpectSame(const CBrindleDoc& doc, const PlainStore& plain, const std::string& step) {
    ASSERT_EQ(doc.Bookmarks().size(), plain.bookmarks.size()) << step;
    for (std::uint32_t i = 0; i < plain.bookmarks.size(); ++i) {
        const BookmarkRef b = doc.Bookmarks()[i];
        const CBookmark& p = plain.bookmarks[i];
        ASSERT_TRUE(b.Equals(p)) << step << " bookmark " << i << " '" << b.m_strName << "' '"
                                 << b.m_strKeywords << "' vs '" << p.m_strName << "' '"
                                 << p.m_strKeywords << "'";
        for (int f = kFieldAddDate; f <= kFieldLastChecked; ++f)
            ASSERT_EQ(b.GetFieldTime(f), p.GetFieldTime(f)) << step << " bookmark " << i;
        ASSERT_EQ(doc.Bookmarks().KeywordList(i), p.m_arrKeywords) << step << " bookmark " << i;
    }
    ASSERT_EQ(doc.DeletedBookmarks().size(), plain.deleted.size()) << step;
    for (std::uint32_t i = 0; i < plain.deleted.size(); ++i)
        ASSERT_TRUE(doc.DeletedBookmarks()[i].Equals(plain.deleted[i])) << step << " " << i;
}

Hits PlainStringSearch(const PlainStore& plain, const std::string& text, bool matchCase,
                       std::uint8_t mask) {
    const std::string needle = brindle::Trim(text);
    Hits hits;
    for (std::uint32_t i = 0; i < plain.bookmarks.size(); ++i) {
        bool hit = needle.empty();
        for (int bit = 0; !hit && bit < 7; ++bit) {
            if (!(mask & (1 << bit)))
                continue;
            const std::string field = plain.bookmarks[i].SearchField(bit);
            hit = matchCase
                      ? field.find(needle) != std::string::npos
                      : brindle::ToLower(field).find(brindle::ToLower(needle)) != std::string::npos;
        }
        if (hit)
            hits.push_back(i);
    }
    return hits;
}

Hits PlainKeywordSearch(const PlainStore& plain, const std::string& text, bool partial) {
    const std::string query = brindle::Trim(brindle::ToLower(text));
    Hits hits;
    bool trailingDot = false;
    const auto terms = brindle::KeywordQuery::SplitTerms(query, &trailingDot);
    for (std::uint32_t i = 0; i < plain.bookmarks.size(); ++i)
        hits.push_back(i);
    if (query.empty())
        return hits;
    // The evaluator over the plain keyword texts, one bookmark at a time.
    class Texts : public brindle::KeywordTexts {
      public:
        explicit Texts(const PlainStore& p) : m_p(p) {}
        std::size_t Size() const override { return m_p.bookmarks.size(); }
        std::string_view Text(std::uint32_t i) const override {
            return m_p.bookmarks[i].m_strKeywords;
        }

      private:
        const PlainStore& m_p;
    };
    brindle::KeywordQuery evaluator;
    return evaluator.Evaluate(terms, hits, partial && !trailingDot, Texts(plain));
}

// Random edit sequences through every bookmark operation of the document, each mirrored on the
// plain model; searches in both modes are compared along the way.
TEST(StoreReference, RandomEditSequencesMatchThePlainModel) {
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
        Generator gen(seed);
        CBrindleDoc doc;
        PlainStore plain;
        doc.AddSchedule("Weekly", 633600, true);
        plain.schedules.push_back("Weekly");
        for (int step = 0; step < 400; ++step) {
            const std::string where =
                "seed " + std::to_string(seed) + " step " + std::to_string(step);
            const auto n = static_cast<int>(plain.bookmarks.size());
            const int op = n == 0 ? 0 : gen.Pick(15);
            const auto index = static_cast<std::uint32_t>(n ? gen.Pick(n) : 0);
            std::string what;
            switch (op) {
            case 0:
            case 1:
            case 2: {
                const std::string name = gen.Pick(8) ? gen.Text(3) : "";
                const std::string url = "u" + std::to_string(gen.Pick(40));
                const std::string keywords = gen.Text(5);
                const std::string description = gen.Text(4);
                const std::string schedule = gen.Pick(2) ? "Weekly" : gen.Piece();
                const std::string notes = gen.Pick(3) ? "" : gen.Text(2);
                const std::string status = gen.Pick(2) ? "Waiting" : gen.Piece();
                const BookmarkFields f{.name = name,
                                       .url = url,
                                       .keywords = keywords,
                                       .description = description,
                                       .notes = notes,
                                       .statusChecking = static_cast<std::uint16_t>(gen.Pick(2)),
                                       .schedule = schedule,
                                       .status = status,
                                       .addDate = gen.Pick(3) * 0x7FFFFFFFLL,
                                       .lastVisited = gen.Pick(9),
                                       .lastChecked = 0xFFFFFFFFLL};
                what = "add";
                ASSERT_EQ(doc.AddBookmark(f), plain.Add(f)) << where;
                break;
            }
            case 3: {
                Hits picked;
                for (int k = gen.Pick(4) + 1; k > 0; --k)
                    picked.push_back(static_cast<std::uint32_t>(gen.Pick(n + 2)));
                what = "delete";
                if (gen.Pick(2)) {
                    doc.ClearUndo(kUndoBookmarks);
                    plain.deleted.clear();
                    plain.undoOwners.clear(); // a delete would make them stale
                }
                doc.DeleteBookmarks(picked);
                plain.Delete(picked);
                break;
            }
            case 4:
                what = "delete one";
                doc.DeleteBookmark(index);
                plain.Delete({index});
                break;
            case 5:
                what = "undo";
                doc.UndoDeleteBookmarks();
                plain.Undo();
                break;
            case 6: {
                const std::string from = gen.Piece(), to = gen.Piece();
                what = "rename " + from + " " + to;
                doc.RenameKeywordEverywhere(from, to);
                plain.RenameEverywhere(from, to);
                break;
            }
            case 7: {
                const std::string word = gen.Piece();
                what = "delete keyword " + word;
                doc.DeleteKeywordEverywhere(word);
                plain.DeleteKeyword(word);
                break;
            }
            case 8:
                what = "undo keyword";
                doc.UndoDeleteKeyword();
                plain.UndoKeyword();
                break;
            case 9: {
                const std::string from = gen.Piece(), to = gen.Piece();
                what = "rename in one";
                doc.RenameKeywordInBookmark(index, from, to);
                plain.RenameInBookmark(index, from, to);
                break;
            }
            case 10: {
                static const int kTextFields[] = {kFieldName,        kFieldURL,   kFieldKeywords,
                                                  kFieldDescription, kFieldNotes, kFieldSchedule,
                                                  kFieldStatus};
                const int field = kTextFields[gen.Pick(7)];
                const std::string text = gen.Text(4);
                what = "set text";
                doc.SetFieldText(index, field, text);
                plain.SetText(index, field, text);
                break;
            }
            case 11: {
                const std::string text = gen.Text(5);
                what = "set keywords";
                doc.SetKeywords(index, text);
                plain.bookmarks[index].SetKeywords(text);
                break;
            }
            case 12: {
                const std::string word = gen.Piece();
                what = "add keyword";
                doc.AddKeyword(index, word);
                plain.bookmarks[index].AddKeyword(word);
                break;
            }
            case 13: {
                const int field = kFieldAddDate + gen.Pick(4);
                const BrxTime t = gen.Pick(3) ? gen.Pick(1000) : 0x100000000LL + gen.Pick(9);
                what = "set time";
                doc.SetFieldTime(index, field, t);
                TimeOf(plain.bookmarks[index], field) = t;
                doc.SetStatusChecking(index, static_cast<std::uint16_t>(step & 1));
                plain.bookmarks[index].m_wStatusChecking = static_cast<std::uint16_t>(step & 1);
                break;
            }
            default: {
                // The property sheet: copies made, some edited, taken back on OK.
                what = "properties";
                auto copies = doc.PreparePropertyCopies(index);
                std::vector<CBookmark> plainCopies;
                if (std::find(plain.schedules.begin(), plain.schedules.end(),
                              plain.bookmarks[index].m_strSchedule) == plain.schedules.end())
                    plain.bookmarks[index].m_strSchedule = kNoSchedule;
                for (const CBookmark& b : plain.bookmarks)
                    plainCopies.emplace_back(b.m_strName, b.m_strURL, b.m_strKeywords,
                                             b.m_strDescription, b.m_strNotes, b.m_wStatusChecking,
                                             b.m_strSchedule, b.m_strStatus, b.m_tAddDate,
                                             b.m_tLastVisited, b.m_tLastModified, b.m_tLastChecked);
                ASSERT_EQ(copies.size(), plainCopies.size());
                const std::string notes = gen.Text(2);
                copies[index]->m_strNotes = notes;
                plainCopies[index].m_strNotes = notes;
                doc.ApplyPropertyCopies(copies);
                for (std::size_t i = 0; i < plainCopies.size(); ++i)
                    if (!plainCopies[i].Equals(plain.bookmarks[i]))
                        plain.bookmarks[i] = plainCopies[i];
                break;
            }
            }
            ExpectSame(doc, plain, where + " " + what);
            if (HasFatalFailure())
                return;
            if (step % 5 == 0) {
                // Searches over the same collection give the same bookmarks (in index order:
                // column 12 sorts nothing).
                doc.SetSortOrder(12, doc.SortAscending() != 0);
                const std::string query = gen.Text(2);
                const bool matchCase = gen.Pick(2);
                const auto mask = static_cast<std::uint8_t>(gen.Pick(2) ? 0x7F : gen.Pick(128));
                doc.SetSearchMode(kSearchString);
                doc.Search(query, matchCase, mask);
                ASSERT_EQ(doc.StringHits(), PlainStringSearch(plain, query, matchCase, mask))
                    << where << " string search '" << query << "' mask " << int(mask);
                doc.SetSearchMode(kSearchKeyword);
                doc.SetPartialMatch(gen.Pick(2));
                doc.Search(query, false, 0);
                ASSERT_EQ(doc.KeywordHits(),
                          PlainKeywordSearch(plain, query, doc.PartialMatch() != 0))
                    << where << " keyword search '" << query << "'";
            }
        }
    }
}

// The text-only keyword scan the add path uses gives the full scan's text, and says when the
// full scan's list is not the split of that text.
TEST(StoreReference, TextOnlyKeywordScanMatchesTheFullScan) {
    Generator gen(5);
    for (int round = 0; round < 20000; ++round) {
        std::string input = gen.Text(round % 50 == 0 ? 60 : 8);
        if (gen.Pick(4) == 0)
            input += gen.Pick(2) ? "\t" : " \n";
        for (const bool commaDrops : {false, true}) {
            std::vector<std::string> list;
            const std::string full = brindle::NormalizeKeywordText(input, commaDrops, &list);
            bool blankEdge = false;
            ASSERT_EQ(brindle::NormalizeKeywordTextOnly(input, commaDrops, &blankEdge), full)
                << "'" << input << "'";
            std::vector<std::string> split;
            brindle::SplitKeywordsInto(full, split);
            ASSERT_EQ(blankEdge, split != list) << "'" << input << "'";
        }
    }
}

// The sixteen-at-a-time folded scan against a byte-by-byte one, at every alignment, with bytes
// one bit 0x20 away from letters ('@' and '`', '[' and '{') and bytes above 0x7F.
TEST(StoreReference, FoldedFindMatchesAPlainScan) {
    std::mt19937 rng(11);
    const std::string alphabet = "aAbBkKzZ@`[{ 0\x80\xC3\xA9";
    auto plainFind = [](std::string_view hay, std::string_view needle, std::size_t from) {
        for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
            bool same = true;
            for (std::size_t k = 0; same && k < needle.size(); ++k)
                same = brindle::AsciiLower(hay[i + k]) == needle[k];
            if (same)
                return i;
        }
        return std::string_view::npos;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string hay(rng() % 90, ' ');
        for (char& c : hay)
            c = alphabet[rng() % alphabet.size()];
        std::string needle(1 + rng() % 4, ' ');
        for (char& c : needle)
            c = brindle::AsciiLower(alphabet[rng() % 12]);
        const std::size_t from = hay.empty() ? 0 : rng() % (hay.size() + 1);
        ASSERT_EQ(brindle::FindAsciiFolded(hay, needle, from), plainFind(hay, needle, from))
            << "'" << hay << "' '" << needle << "' from " << from;
    }
}

// Replaced texts are garbage until their share passes half: then the texts are rewritten, and
// every record, the undo list and the keyword ids must come through intact.
TEST(StoreReference, CompactionKeepsEveryBookmark) {
    Generator gen(77);
    CBrindleDoc doc;
    PlainStore plain;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "n" + std::to_string(i) + " " + gen.Text(2);
        const std::string keywords = gen.Text(4);
        const BookmarkFields f{.name = name, .url = "u", .keywords = keywords};
        ASSERT_EQ(doc.AddBookmark(f), plain.Add(f));
    }
    doc.DeleteBookmarks({3, 9, 27});
    plain.Delete({3, 9, 27});
    std::size_t peak = 0;
    for (int round = 0; round < 60; ++round) {
        const auto index = static_cast<std::uint32_t>(gen.Pick(5)); // the same few, again
        const std::string notes(400000 + static_cast<std::size_t>(round), 'a' + round % 26);
        doc.SetFieldText(index, kFieldNotes, notes);
        plain.SetText(index, kFieldNotes, notes);
        const std::string from = gen.Piece(), to = gen.Piece();
        doc.RenameKeywordEverywhere(from, to);
        plain.RenameEverywhere(from, to);
        ExpectSame(doc, plain, "round " + std::to_string(round));
        if (HasFatalFailure())
            return;
        peak = std::max(peak, doc.Bookmarks().Storage().text.Used());
    }
    // 24 MB were written in all, at most 2 MB live at a time: compaction kept the rest away.
    EXPECT_LT(peak, std::size_t{12} << 20);
    doc.UndoDeleteBookmarks();
    plain.Undo();
    ExpectSame(doc, plain, "undo after compaction");
    doc.SetSortOrder(12, doc.SortAscending() != 0);
    doc.Search(gen.Piece(), false, 0);
    bool partial = doc.PartialMatch() != 0;
    EXPECT_EQ(doc.KeywordHits(), PlainKeywordSearch(plain, doc.LastSearch(), partial));
}

// Match case off compares both sides through ToLower, whatever it does to a character.
TEST(StoreReference, CaseInsensitiveSearchFollowsLowerCasing) {
    CBrindleDoc doc;
    doc.AddBookmark({.name = "\xE2\x84\xAA"
                             "elvin scale",
                     .url = "u1"});                            // Kelvin sign
    doc.AddBookmark({.name = "\xC4\xB0stanbul", .url = "u2"}); // dotted capital I
    doc.AddBookmark({.name = "STRA\xE1\xBA\x9E"
                             "E",
                     .url = "u3"}); // capital sharp s
    doc.AddBookmark({.name = "\xCE\xA3\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82", .url = "u4"}); // Σοφός
    doc.AddBookmark({.name = "kelvin plain", .url = "u5"});
    doc.SetSearchMode(kSearchString);
    doc.SetSortOrder(12, doc.SortAscending() != 0);
    auto find = [&](const std::string& text) {
        doc.Search(text, false, kSearchName);
        return doc.StringHits();
    };
    EXPECT_EQ(find("k"), (Hits{0, 4}));
    EXPECT_EQ(find("KELVIN"), (Hits{0, 4}));
    EXPECT_EQ(find("\xE2\x84\xAA"
                   "elvin"),
              (Hits{0, 4})); // its own text, and plain "kelvin"
    // The helper keeps U+0130 as it is (Qt's simple mapping): only its own text finds it.
    EXPECT_EQ(find("\xC4\xB0stanbul"), (Hits{1}));
    EXPECT_EQ(find("istanbul"), Hits{});
    EXPECT_EQ(find("\xC3\x9F"), (Hits{2})); // ß finds ẞ
    EXPECT_EQ(find("\xCF\x83\xCE\xBF\xCF\x86"), (Hits{3}));
    // The final sigma is its own lower case: Σ does not find it.
    EXPECT_EQ(find("\xCF\x8C\xCF\x83"), Hits{});
    EXPECT_EQ(find("\xCF\x8C\xCF\x82"), (Hits{3}));
    // The single-bookmark test of the add path agrees with the scan.
    for (std::uint32_t i = 0; i < 5; ++i) {
        doc.Search("K", false, kSearchName);
        EXPECT_EQ(doc.MatchesSearch(i, true), i == 0 || i == 4) << i;
    }
}

} // namespace
