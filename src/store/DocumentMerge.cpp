// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DocumentMerge.h"

#include "store/BrindleDoc.h"
#include "store/TimeFormat.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

namespace {

// A record's identity: its name (and URL for a bookmark) and which occurrence of that pair it is.
struct RecordKey {
    std::string_view name;
    std::string_view url;
    std::uint32_t occurrence = 0;
    bool operator==(const RecordKey&) const = default;
};

std::uint32_t HashOf(std::string_view name, std::string_view url) {
    const std::size_t a = std::hash<std::string_view>{}(name);
    const std::size_t b = std::hash<std::string_view>{}(url);
    const std::size_t h = a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Where each key sits in one version, and the key of each position: open addressing over
// positions (one flat array, no node per record; a merge looks up every record three times).
class KeyIndex {
  public:
    template <typename KeyOf> KeyIndex(std::size_t count, KeyOf keyOf) {
        std::size_t n = 64;
        while (n < count * 2)
            n *= 2;
        m_slots.assign(n, Slot{});
        m_keys.reserve(count);
        m_hashes.reserve(count);
        const std::size_t mask = n - 1;
        for (std::size_t i = 0; i < count; ++i) {
            RecordKey key = keyOf(i);
            const std::uint32_t hash = HashOf(key.name, key.url);
            // A repeated pair becomes its next occurrence; all of them share one probe chain.
            std::size_t pos = hash & mask;
            for (; m_slots[pos].position1; pos = (pos + 1) & mask) {
                const Slot& s = m_slots[pos];
                const RecordKey& other = m_keys[s.position1 - 1];
                if (s.hash == hash && other.name == key.name && other.url == key.url)
                    ++key.occurrence;
            }
            m_slots[pos] = {static_cast<std::uint32_t>(i + 1), hash};
            m_keys.push_back(key);
            m_hashes.push_back(hash);
        }
    }
    // The position of `key` (whose pair hashes to `hash`), or kNone.
    std::uint32_t Find(const RecordKey& key, std::uint32_t hash) const {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t pos = hash & mask; m_slots[pos].position1; pos = (pos + 1) & mask) {
            const Slot& s = m_slots[pos];
            if (s.hash == hash && m_keys[s.position1 - 1] == key)
                return s.position1 - 1;
        }
        return kNone;
    }
    const RecordKey& Key(std::size_t i) const { return m_keys[i]; }
    std::uint32_t Hash(std::size_t i) const { return m_hashes[i]; }
    // The position in `other` of this index's record i.
    std::uint32_t FindIn(const KeyIndex& other, std::size_t i) const {
        return other.Find(m_keys[i], m_hashes[i]);
    }

  private:
    struct Slot {
        std::uint32_t position1 = 0; // position + 1; 0 = empty
        std::uint32_t hash = 0;
    };
    std::vector<Slot> m_slots;
    std::vector<RecordKey> m_keys;
    std::vector<std::uint32_t> m_hashes;
};

enum class FieldOutcome { Ours, Theirs, Conflict };

// One field: `base` is nullptr for a record that both sides added.
template <typename T> FieldOutcome MergeField(const T* base, const T& ours, const T& theirs) {
    if (ours == theirs)
        return FieldOutcome::Ours;
    if (base && ours == *base)
        return FieldOutcome::Theirs;
    if (base && theirs == *base)
        return FieldOutcome::Ours;
    return FieldOutcome::Conflict;
}

// Merges the fields of one record. `apply(outcome, field)` takes the other side's value or
// records the conflict; returns whether any field came from the other side.
struct FieldTally {
    bool tookTheirs = false;
    std::size_t conflicts = 0;
};

// --- Bookmarks -----------------------------------------------------------------------------

// Merges in place: our records that nothing changed stay where they are, untouched.
class BookmarkMerger {
  public:
    BookmarkMerger(const BookmarkList& base, const BookmarkList& theirs, BookmarkList& ours,
                   TrashLog& trash, std::string timePattern)
        : m_base(base), m_theirs(theirs), m_ours(ours), m_trash(trash),
          m_pattern(std::move(timePattern)) {}

    void Merge(MergeReport& report) {
        auto keyOf = [](const BookmarkList& list) {
            return [&list](std::size_t i) {
                const BookmarkRecord& r = list.Record(i);
                return RecordKey{r.Text(BookmarkRecord::kName), r.Text(BookmarkRecord::kURL)};
            };
        };
        const KeyIndex base(m_base.size(), keyOf(m_base));
        const KeyIndex theirs(m_theirs.size(), keyOf(m_theirs));
        // Its views stay valid: a rewritten record's old texts stay in the storage as garbage.
        const KeyIndex ours(m_ours.size(), keyOf(m_ours));

        std::vector<BookmarkRecord>& records = m_ours.Records();
        std::vector<bool> seen(m_theirs.size(), false);
        std::size_t kept = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const std::uint32_t b = ours.FindIn(base, i);
            const std::uint32_t t = ours.FindIn(theirs, i);
            if (t == kNone && b != kNone) {
                m_trash.Add(BookmarkList::Ref(records[i]), TrashReason::Merged);
                m_ours.Release(records[i]); // deleted over there
                ++report.removed;
                continue;
            }
            if (t != kNone) {
                seen[t] = true;
                MergeOne(b == kNone ? nullptr : &m_base.Record(b), i, m_theirs.Record(t), report);
            }
            records[kept++] = records[i];
        }
        records.resize(kept);
        for (std::size_t t = 0; t < m_theirs.size(); ++t) {
            if (seen[t] || theirs.FindIn(base, t) != kNone)
                continue; // matched above, or deleted here
            const BookmarkRecord r = m_ours.CopyRecord(m_theirs, m_theirs.Record(t));
            if (r.Has(BookmarkRecord::kIdsReady))
                records.push_back(r);
            else
                m_ours.AppendUnindexed(r);
            ++report.added;
        }
    }

  private:
    void MergeOne(const BookmarkRecord* baseRecord, std::size_t index,
                  const BookmarkRecord& theirsRecord, MergeReport& report) {
        const BookmarkRef o = BookmarkList::Ref(m_ours.Record(index));
        const BookmarkRef t = BookmarkList::Ref(theirsRecord);
        BookmarkRef baseRef;
        if (baseRecord)
            baseRef = BookmarkList::Ref(*baseRecord);
        const BookmarkRef* b = baseRecord ? &baseRef : nullptr;
        BookmarkRef m = o;
        bool tookTheirs = false;
        std::string notes;
        auto field = [&](auto BookmarkRef::*member, int number) {
            switch (MergeField(b ? &(b->*member) : nullptr, o.*member, t.*member)) {
            case FieldOutcome::Ours:
                break;
            case FieldOutcome::Theirs:
                m.*member = t.*member;
                tookTheirs = true;
                break;
            case FieldOutcome::Conflict:
                ++report.conflicts;
                notes += '\n';
                notes += kMergeConflictMarker;
                notes += ' ';
                notes += FieldTitle(number);
                notes += ": ";
                notes += t.GetFieldText(number, m_pattern);
                break;
            }
        };
        field(&BookmarkRef::m_strKeywords, kFieldKeywords);
        field(&BookmarkRef::m_strDescription, kFieldDescription);
        field(&BookmarkRef::m_strNotes, kFieldNotes);
        field(&BookmarkRef::m_wStatusChecking, kFieldStatusChecking);
        field(&BookmarkRef::m_strSchedule, kFieldSchedule);
        field(&BookmarkRef::m_strStatus, kFieldStatus);
        field(&BookmarkRef::m_tAddDate, kFieldAddDate);
        field(&BookmarkRef::m_tLastVisited, kFieldLastVisited);
        field(&BookmarkRef::m_tLastModified, kFieldLastModified);
        field(&BookmarkRef::m_tLastChecked, kFieldLastChecked);
        if (!tookTheirs && notes.empty())
            return;
        if (tookTheirs)
            ++report.changed;
        std::string mergedNotes;
        if (!notes.empty()) {
            mergedNotes.assign(m.m_strNotes);
            // The marker lines follow the notes; notes that were empty start with the first.
            mergedNotes += mergedNotes.empty() ? std::string_view(notes).substr(1) : notes;
            m.m_strNotes = mergedNotes;
        }
        m_ours.Rewrite(index, m, nullptr);
    }

    const BookmarkList& m_base;
    const BookmarkList& m_theirs;
    BookmarkList& m_ours;
    TrashLog& m_trash;
    std::string m_pattern;
};

// --- Macros and schedules ------------------------------------------------------------------

template <typename Record, typename MergeFields>
std::vector<std::unique_ptr<Record>>
MergeRecords(const std::vector<std::unique_ptr<Record>>& baseList,
             const std::vector<std::unique_ptr<Record>>& theirsList,
             std::vector<std::unique_ptr<Record>>& oursList, MergeFields mergeFields,
             MergeReport& report) {
    auto keyOf = [](const std::vector<std::unique_ptr<Record>>& list) {
        return [&list](std::size_t i) { return RecordKey{list[i]->m_strName, {}}; };
    };
    const KeyIndex base(baseList.size(), keyOf(baseList));
    const KeyIndex theirs(theirsList.size(), keyOf(theirsList));
    const KeyIndex ours(oursList.size(), keyOf(oursList));
    std::vector<std::unique_ptr<Record>> merged;
    std::vector<bool> seen(theirsList.size(), false);
    for (std::size_t i = 0; i < oursList.size(); ++i) {
        const std::uint32_t b = ours.FindIn(base, i);
        const std::uint32_t t = ours.FindIn(theirs, i);
        if (t == kNone) {
            if (b != kNone) {
                ++report.removed;
                continue;
            }
        } else {
            seen[t] = true;
            const FieldTally tally =
                mergeFields(b == kNone ? nullptr : baseList[b].get(), *oursList[i], *theirsList[t]);
            report.changed += tally.tookTheirs ? 1 : 0;
            report.conflicts += tally.conflicts;
        }
        merged.push_back(std::move(oursList[i]));
    }
    for (std::size_t t = 0; t < theirsList.size(); ++t) {
        if (seen[t] || theirs.FindIn(base, t) != kNone)
            continue;
        merged.push_back(std::make_unique<Record>(*theirsList[t]));
        ++report.added;
    }
    return merged;
}

// Merges the fields of `ours` in place (the key fields are equal already).
template <typename Record> struct RecordFieldMerger {
    const Record* base;
    Record& ours;
    const Record& theirs;
    FieldTally tally;
    template <typename T> void operator()(T Record::*member) {
        switch (MergeField(base ? &(base->*member) : nullptr, ours.*member, theirs.*member)) {
        case FieldOutcome::Ours:
            break;
        case FieldOutcome::Theirs:
            ours.*member = theirs.*member;
            tally.tookTheirs = true;
            break;
        case FieldOutcome::Conflict:
            ++tally.conflicts;
            break;
        }
    }
};

FieldTally MergeMacro(const CMacro* base, CMacro& ours, const CMacro& theirs) {
    RecordFieldMerger<CMacro> m{base, ours, theirs, {}};
    m(&CMacro::m_strURL);
    m(&CMacro::m_strKeywords);
    m(&CMacro::m_strSearch);
    m(&CMacro::m_dwFields);
    m(&CMacro::m_bMatchCase);
    m(&CMacro::m_nKind);
    m(&CMacro::m_dwHotKey);
    return m.tally;
}

FieldTally MergeSchedule(const CSchedule* base, CSchedule& ours, const CSchedule& theirs) {
    RecordFieldMerger<CSchedule> m{base, ours, theirs, {}};
    m(&CSchedule::m_tInterval);
    m(&CSchedule::m_bDefault);
    return m.tally;
}

} // namespace

MergeReport MergeDocuments(const CBrindleDoc& base, const CBrindleDoc& theirs, CBrindleDoc& ours) {
    MergeReport report;
    BookmarkMerger bookmarks(base.m_arrBookmarks, theirs.m_arrBookmarks, ours.m_arrBookmarks,
                             ours.m_trash, ExpandTimeFormat(ours.Prefs().m_strTimeFormat));
    bookmarks.Merge(report);
    ours.m_arrMacros =
        MergeRecords(base.m_arrMacros, theirs.m_arrMacros, ours.m_arrMacros, MergeMacro, report);
    ours.m_arrSchedules = MergeRecords(base.m_arrSchedules, theirs.m_arrSchedules,
                                       ours.m_arrSchedules, MergeSchedule, report);
    // The result lists, the dictionary and the keyword-undo owners named old positions.
    ours.m_arrSorted.clear();
    ours.m_arrKeywordHits.clear();
    ours.m_arrStringHits.clear();
    ours.m_arrDictionary.clear();
    ours.ClearUndo(kUndoKeyword);
    ours.SetModifiedFlag(true);
    ours.RerunLastSearch();
    return report;
}

} // namespace brindle
