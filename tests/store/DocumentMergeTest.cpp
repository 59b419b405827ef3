// SPDX-License-Identifier: GPL-3.0-or-later
// The three-way merge: fixed cases for each rule, then merge tables on random collections edited
// at random on two copies of one base.

#include "store/DocumentMerge.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

using brindle::kMergeConflictMarker;
using brindle::MergeDocuments;
using brindle::MergeReport;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// A bookmark as the tests compare it: every field by value.
struct Mark {
    std::string name, url, keywords, description, notes;
    std::uint16_t checking = 1;
    std::string schedule = kNoSchedule, status = kStatusWaiting;
    BrxTime added = 1000, visited = 0, modified = 0, checked = 0;
    bool operator==(const Mark&) const = default;
};

Mark MarkOf(const BookmarkRef& b) {
    return {std::string(b.m_strName),
            std::string(b.m_strURL),
            std::string(b.m_strKeywords),
            std::string(b.m_strDescription),
            std::string(b.m_strNotes),
            b.m_wStatusChecking,
            std::string(b.m_strSchedule),
            std::string(b.m_strStatus),
            b.m_tAddDate,
            b.m_tLastVisited,
            b.m_tLastModified,
            b.m_tLastChecked};
}

using Key = std::pair<std::string, std::string>;
using Collection = std::map<Key, Mark>;

Collection CollectionOf(const CBrindleDoc& doc) {
    Collection c;
    for (const BookmarkRef b : doc.Bookmarks())
        c.emplace(Key(b.m_strName, b.m_strURL), MarkOf(b));
    return c;
}

// A document holding exactly `marks` in this order, read back as a file is.
void Fill(CBrindleDoc& doc, const std::vector<Mark>& marks) {
    CBrindleDoc build;
    brindle::BookmarkList list;
    for (const Mark& m : marks)
        list.push_back(BookmarkRef{m.name, m.url, m.keywords, m.description, m.notes, m.checking,
                                   m.schedule, m.status, m.added, m.visited, m.modified,
                                   m.checked});
    build.ReplaceBookmarks(std::move(list));
    ASSERT_TRUE(brindle::ReadDocumentBytes(doc, brindle::DocumentToBytes(build)));
}

std::vector<Mark> Marks(const Collection& c) {
    std::vector<Mark> out;
    for (const auto& [key, m] : c)
        out.push_back(m);
    return out;
}

Mark Bm(std::string name, std::string url) {
    Mark m;
    m.name = std::move(name);
    m.url = std::move(url);
    return m;
}

// A last-checked time as the notes show it (the default time format).
std::string CheckedText(BrxTime t) {
    BookmarkRef r;
    r.m_tLastChecked = t;
    return r.GetFieldText(kFieldLastChecked,
                          brindle::ExpandTimeFormat(CPreferences::Defaults().m_strTimeFormat));
}

struct Merged {
    MergeReport report;
    Collection bookmarks;
    std::vector<std::string> order; // names in the merged order
};

Merged Merge(const std::vector<Mark>& base, const std::vector<Mark>& ours,
             const std::vector<Mark>& theirs) {
    CBrindleDoc b, o, t;
    Fill(b, base);
    Fill(o, ours);
    Fill(t, theirs);
    Merged m;
    m.report = MergeDocuments(b, t, o);
    m.bookmarks = CollectionOf(o);
    for (const BookmarkRef r : o.Bookmarks())
        m.order.emplace_back(r.m_strName);
    return m;
}

TEST(DocumentMerge, AdditionsAndDeletionsOfBothSidesAreKept) {
    const Mark a = Bm("A", "http://a/"), b = Bm("B", "http://b/"), c = Bm("C", "http://c/");
    const Mark x = Bm("X", "http://x/"), y = Bm("Y", "http://y/");
    // Ours deleted B and added X; theirs deleted C and added Y.
    const Merged m = Merge({a, b, c}, {a, c, x}, {a, b, y});
    EXPECT_THAT(m.order, ElementsAre("A", "X", "Y"));
    EXPECT_EQ(m.report, (MergeReport{.added = 1, .removed = 1, .changed = 0, .conflicts = 0}));
}

TEST(DocumentMerge, AnAdditionOnBothSidesIsKeptOnceAndARenameIsDeleteAndAdd) {
    const Mark a = Bm("A", "http://a/");
    Mark renamed = a;
    renamed.name = "A2";
    Mark aUrl = a;
    aUrl.url = "http://a2/";
    const Mark x = Bm("X", "http://x/");
    const Merged m = Merge({a}, {renamed, x}, {aUrl, x});
    // Both dropped A (one renamed it, one moved it): both new identities arrive, X once.
    EXPECT_THAT(m.order, ElementsAre("A2", "X", "A"));
    EXPECT_EQ(m.bookmarks.count(Key("A", "http://a2/")), 1u);
    EXPECT_EQ(m.bookmarks.count(Key("A", "http://a/")), 0u);
}

TEST(DocumentMerge, DeletionWinsOverAnEditOnTheOtherSide) {
    const Mark a = Bm("A", "http://a/"), b = Bm("B", "http://b/");
    Mark aEdited = a;
    aEdited.description = "edited";
    Mark bEdited = b;
    bEdited.notes = "edited";
    const Merged m = Merge({a, b}, {aEdited}, {bEdited});
    EXPECT_TRUE(m.bookmarks.empty());
    EXPECT_EQ(m.report.removed, 1u);
}

TEST(DocumentMerge, EditsOfDifferentFieldsAllArrive) {
    const Mark base = Bm("A", "http://a/");
    Mark ours = base, theirs = base;
    ours.description = "ours";
    ours.visited = 5000;
    theirs.keywords = "web tools";
    theirs.status = "OK";
    theirs.checking = 0;
    const Merged m = Merge({base}, {ours}, {theirs});
    Mark expected = base;
    expected.description = "ours";
    expected.visited = 5000;
    expected.keywords = "web tools";
    expected.status = "OK";
    expected.checking = 0;
    EXPECT_EQ(m.bookmarks.at(Key("A", "http://a/")), expected);
    EXPECT_EQ(m.report, (MergeReport{.added = 0, .removed = 0, .changed = 1, .conflicts = 0}));
}

TEST(DocumentMerge, AFieldChangedOnBothSidesKeepsOursAndNotesTheirs) {
    Mark base = Bm("A", "http://a/");
    base.notes = "first line";
    Mark ours = base, theirs = base;
    ours.description = "ours";
    theirs.description = "theirs";
    ours.checked = 100;
    theirs.checked = 200;
    theirs.status = "OK"; // changed on their side only
    const Merged m = Merge({base}, {ours}, {theirs});
    const Mark& r = m.bookmarks.at(Key("A", "http://a/"));
    EXPECT_EQ(r.description, "ours");
    EXPECT_EQ(r.checked, 100);
    EXPECT_EQ(r.status, "OK");
    EXPECT_EQ(r.notes, std::string("first line\n") + kMergeConflictMarker +
                           " Description: theirs\n" + kMergeConflictMarker +
                           " Last checked: " + CheckedText(200));
    EXPECT_EQ(m.report.conflicts, 2u);
    EXPECT_EQ(m.report.changed, 1u);
}

TEST(DocumentMerge, ConflictingNotesKeepOursWithTheirsBelow) {
    const Mark base = Bm("A", "http://a/");
    Mark ours = base, theirs = base;
    ours.notes = "mine";
    theirs.notes = "yours";
    const Merged m = Merge({base}, {ours}, {theirs});
    EXPECT_EQ(m.bookmarks.at(Key("A", "http://a/")).notes,
              std::string("mine\n") + kMergeConflictMarker + " Notes: yours");
    // Added on both sides with different fields: every difference is a conflict.
    Mark x1 = Bm("X", "http://x/"), x2 = x1;
    x2.description = "theirs";
    const Merged both = Merge({}, {x1}, {x2});
    EXPECT_EQ(both.bookmarks.at(Key("X", "http://x/")).notes,
              std::string(kMergeConflictMarker) + " Description: theirs");
    EXPECT_EQ(both.report.conflicts, 1u);
}

TEST(DocumentMerge, RepeatedPairsAreMatchedOccurrenceByOccurrence) {
    Mark a1 = Bm("A", "http://a/"), a2 = a1;
    a2.description = "second";
    Mark a2Theirs = a2;
    a2Theirs.status = "OK";
    CBrindleDoc b, o, t;
    Fill(b, {a1, a2});
    Fill(o, {a1, a2});
    Fill(t, {a1, a2Theirs});
    MergeDocuments(b, t, o);
    ASSERT_EQ(o.Bookmarks().size(), 2u);
    EXPECT_EQ(MarkOf(o.Bookmarks()[0]), a1);
    EXPECT_EQ(MarkOf(o.Bookmarks()[1]), a2Theirs);
}

TEST(DocumentMerge, MacrosAndSchedulesMergeByName) {
    CBrindleDoc b, o, t;
    for (CBrindleDoc* d : {&b, &o, &t}) {
        d->AddMacro(kMacroUrl, "home", "http://home/", 0);
        d->AddMacro(kMacroKeywords, "gone", "old", 0);
        d->AddSchedule("weekly", 604800, false);
    }
    CMacro keyed = o.Macros()[0];
    keyed.m_dwHotKey = 0x20041; // ours: a key
    o.ReplaceMacro(0, keyed);
    CMacro moved = t.Macros()[0];
    moved.m_strURL = "http://new-home/"; // theirs: the URL
    t.ReplaceMacro(0, moved);
    t.DeleteMacro(1); // theirs deleted "gone"
    o.AddStringMacro("mine", "text", 3, false, 0);
    t.AddSchedule("daily", 86400, true);
    o.ReplaceSchedule(0, CSchedule("weekly", 1209600, false));
    t.ReplaceSchedule(0, CSchedule("weekly", 2419200, false)); // both changed: ours stays
    const MergeReport r = MergeDocuments(b, t, o);
    ASSERT_EQ(o.Macros().size(), 2u);
    EXPECT_EQ(o.Macros()[0].m_strName, "home");
    EXPECT_EQ(o.Macros()[0].m_strURL, "http://new-home/");
    EXPECT_EQ(o.Macros()[0].m_dwHotKey, 0x20041u);
    EXPECT_EQ(o.Macros()[1].m_strName, "mine");
    ASSERT_EQ(o.Schedules().size(), 2u);
    EXPECT_EQ(o.Schedules()[0].m_tInterval, 1209600);
    EXPECT_EQ(o.Schedules()[1].m_strName, "daily");
    EXPECT_EQ(o.GetDefaultScheduleName(), "daily");
    EXPECT_EQ(r, (MergeReport{.added = 1, .removed = 1, .changed = 1, .conflicts = 1}));
}

TEST(DocumentMerge, TheDocumentIsModifiedSearchedAgainAndKeepsItsViewState) {
    CBrindleDoc b, o, t;
    Fill(b, {Bm("A", "http://a/")});
    Fill(o, {Bm("A", "http://a/")});
    Fill(t, {Bm("A", "http://a/"), Bm("web page", "http://w/")});
    o.SetSortOrder(kFieldURL, false);
    t.SetSortOrder(kFieldStatus, t.SortAscending() != 0);
    o.Search("", false, 0);
    ASSERT_EQ(o.ActiveHits().size(), 1u);
    MergeDocuments(b, t, o);
    EXPECT_TRUE(o.IsModified());
    EXPECT_EQ(o.SortColumn(), kFieldURL);
    EXPECT_EQ(o.SortAscending(), 0);
    // The hit list covers the merged collection, in the document's order (URL, descending).
    ASSERT_EQ(o.ActiveHits().size(), 2u);
    EXPECT_EQ(o.Bookmarks()[o.ActiveHits()[0]].m_strURL, "http://w/");
}

// --- Merge tables on random collections -----------------------------------------------------

// Edits a copy of the base at random: deletions, additions, renames, field changes. What it
// did is recorded so that the merge can be checked against it.
struct EditedCopy {
    Collection marks;
    std::set<Key> added, deleted;
    std::map<Key, std::set<int>> changedFields; // field numbers changed (surviving keys)
};

std::string Word(std::mt19937& rng) {
    static const char* words[] = {"web", "news", "tools", "java", "music", "old", "daily"};
    return words[rng() % 7];
}

std::string FieldValue(const Mark& m, int field) {
    switch (field) {
    case kFieldDescription:
        return m.description;
    case kFieldKeywords:
        return m.keywords;
    case kFieldStatus:
        return m.status;
    case kFieldLastVisited:
        return std::to_string(m.visited);
    default:
        return std::to_string(m.checking);
    }
}

EditedCopy EditCopy(const Collection& base, std::mt19937& rng, const std::string& side) {
    EditedCopy c{base, {}, {}, {}};
    const int edits = static_cast<int>(rng() % 40);
    for (int e = 0; e < edits; ++e) {
        const int kind = static_cast<int>(rng() % 8); // 3 and above: a field changes
        if (kind == 0 || c.marks.empty()) {           // add
            const std::string n = side + std::to_string(rng() % 1000);
            Mark m = Bm(n, "http://" + n + "/");
            m.keywords = Word(rng);
            if (c.marks.emplace(Key(m.name, m.url), m).second && !base.count(Key(m.name, m.url)))
                c.added.insert(Key(m.name, m.url));
            continue;
        }
        auto it = c.marks.begin();
        std::advance(it, static_cast<long>(rng() % c.marks.size()));
        const Key key = it->first;
        if (kind == 1) { // delete
            if (base.count(key))
                c.deleted.insert(key);
            c.added.erase(key);
            c.changedFields.erase(key);
            c.marks.erase(it);
            continue;
        }
        if (kind == 2 && base.count(key)) { // rename: a deletion and an addition
            Mark m = it->second;
            m.name += "-" + side;
            c.deleted.insert(key);
            c.changedFields.erase(key);
            c.marks.erase(it);
            if (c.marks.emplace(Key(m.name, m.url), m).second)
                c.added.insert(Key(m.name, m.url));
            continue;
        }
        Mark& m = it->second; // change one field
        const int field = static_cast<int>(rng() % 5);
        switch (field) {
        case 0:
            m.description = side + " note " + std::to_string(rng() % 3);
            break;
        case 1:
            m.keywords = Word(rng) + " " + Word(rng);
            break;
        case 2:
            m.status = rng() % 2 ? "OK" : "Page not found";
            break;
        case 3:
            m.visited = static_cast<BrxTime>(rng() % 3 + 1) * 86400;
            break;
        case 4:
            m.checking = static_cast<std::uint16_t>(rng() % 2);
            break;
        }
        static const int numbers[] = {kFieldDescription, kFieldKeywords, kFieldStatus,
                                      kFieldLastVisited, kFieldStatusChecking};
        if (base.count(key))
            c.changedFields[key].insert(numbers[field]);
    }
    // A field set back to its base value is no change.
    for (auto& [key, fields] : c.changedFields) {
        const Mark& now = c.marks.at(key);
        const Mark& was = base.at(key);
        std::erase_if(fields, [&](int f) { return FieldValue(now, f) == FieldValue(was, f); });
    }
    return c;
}

TEST(DocumentMergeTables, RandomEditsOnTwoCopiesOfOneBase) {
    std::mt19937 rng(20261208);
    MergeReport total; // the tables must reach every rule
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Collection base;
        const int size = static_cast<int>(rng() % 20);
        for (int i = 0; i < size; ++i) {
            Mark m = Bm("base" + std::to_string(i), "http://base/" + std::to_string(rng() % 50));
            m.keywords = Word(rng);
            base.emplace(Key(m.name, m.url), m);
        }
        const EditedCopy a = EditCopy(base, rng, "a");
        const EditedCopy b = EditCopy(base, rng, "b");
        const Merged ab = Merge(Marks(base), Marks(a.marks), Marks(b.marks));
        const Merged ba = Merge(Marks(base), Marks(b.marks), Marks(a.marks));

        std::size_t expectedConflicts = 0;
        for (const Merged* m : {&ab, &ba}) {
            // Every addition of both sides arrives; no deleted bookmark comes back.
            for (const EditedCopy* side : {&a, &b}) {
                for (const Key& k : side->added)
                    EXPECT_EQ(m->bookmarks.count(k), 1u) << k.first;
                for (const Key& k : side->deleted)
                    EXPECT_EQ(m->bookmarks.count(k), 0u) << k.first;
            }
            // Nothing else appears, and the untouched keep their values.
            for (const auto& [key, mark] : m->bookmarks) {
                const bool added = a.added.count(key) || b.added.count(key);
                EXPECT_TRUE(added || base.count(key)) << key.first;
            }
        }
        // Single-side edits arrive; fields both changed differently are the conflicts.
        for (const auto& [key, was] : base) {
            if (a.deleted.count(key) || b.deleted.count(key))
                continue;
            const std::set<int> none;
            const auto fa = a.changedFields.count(key) ? a.changedFields.at(key) : none;
            const auto fb = b.changedFields.count(key) ? b.changedFields.at(key) : none;
            for (int f : {kFieldDescription, kFieldKeywords, kFieldStatus, kFieldLastVisited,
                          kFieldStatusChecking}) {
                const bool inA = fa.count(f) != 0, inB = fb.count(f) != 0;
                const std::string va = FieldValue(a.marks.at(key), f);
                const std::string vb = FieldValue(b.marks.at(key), f);
                if (inA && inB && va != vb) {
                    ++expectedConflicts;
                    EXPECT_EQ(FieldValue(ab.bookmarks.at(key), f), va);
                    EXPECT_EQ(FieldValue(ba.bookmarks.at(key), f), vb);
                    continue;
                }
                const std::string expected = inA ? va : inB ? vb : FieldValue(was, f);
                EXPECT_EQ(FieldValue(ab.bookmarks.at(key), f), expected) << key.first << f;
                EXPECT_EQ(FieldValue(ba.bookmarks.at(key), f), expected) << key.first << f;
            }
        }
        total.added += ab.report.added;
        total.removed += ab.report.removed;
        total.changed += ab.report.changed;
        total.conflicts += ab.report.conflicts;
        EXPECT_EQ(ab.report.conflicts, expectedConflicts);
        EXPECT_EQ(ba.report.conflicts, expectedConflicts);
        // Whichever side is read first: the same bookmarks, equal apart from conflicts.
        ASSERT_EQ(ab.bookmarks.size(), ba.bookmarks.size());
        for (const auto& [key, mark] : ab.bookmarks) {
            ASSERT_EQ(ba.bookmarks.count(key), 1u) << key.first;
            const bool conflicted =
                mark.notes.find(kMergeConflictMarker) != std::string::npos ||
                ba.bookmarks.at(key).notes.find(kMergeConflictMarker) != std::string::npos;
            if (!conflicted) {
                EXPECT_EQ(mark, ba.bookmarks.at(key)) << key.first;
            }
        }
    }
    EXPECT_GT(total.added, 100u);
    EXPECT_GT(total.removed, 100u);
    EXPECT_GT(total.changed, 100u);
    EXPECT_GT(total.conflicts, 10u);
}

} // namespace
