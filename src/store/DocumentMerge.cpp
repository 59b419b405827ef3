#include "store/DocumentMerge.h"

#include "store/BrindleDoc.h"
#include "store/TimeFormat.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
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

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& k) const {
        const std::size_t a = std::hash<std::string_view>{}(k.name);
        const std::size_t b = std::hash<std::string_view>{}(k.url);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2)) ^ (k.occurrence * 31u);
    }
};

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Where each key sits in one version, and the key of each position.
class KeyIndex {
  public:
    template <typename KeyOf> KeyIndex(std::size_t count, KeyOf keyOf) {
        m_positions.reserve(count);
        m_keys.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            RecordKey key = keyOf(i);
            // A repeated pair becomes its next occurrence.
            while (!m_positions.emplace(key, static_cast<std::uint32_t>(i)).second)
                ++key.occurrence;
            m_keys.push_back(key);
        }
    }
    std::uint32_t Find(const RecordKey& key) const {
        const auto it = m_positions.find(key);
        return it == m_positions.end() ? kNone : it->second;
    }
    const RecordKey& Key(std::size_t i) const { return m_keys[i]; }

  private:
    std::unordered_map<RecordKey, std::uint32_t, RecordKeyHash> m_positions;
    std::vector<RecordKey> m_keys;
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

class BookmarkMerger {
  public:
    BookmarkMerger(const BookmarkList& base, const BookmarkList& theirs, const BookmarkList& ours,
                   std::string timePattern)
        : m_base(base), m_theirs(theirs), m_ours(ours), m_pattern(std::move(timePattern)) {}

    BookmarkList Merge(MergeReport& report) {
        auto keyOf = [](const BookmarkList& list) {
            return [&list](std::size_t i) {
                const BookmarkRecord& r = list.Record(i);
                return RecordKey{r.Text(BookmarkRecord::kName), r.Text(BookmarkRecord::kURL)};
            };
        };
        const KeyIndex base(m_base.size(), keyOf(m_base));
        const KeyIndex theirs(m_theirs.size(), keyOf(m_theirs));
        const KeyIndex ours(m_ours.size(), keyOf(m_ours));

        BookmarkList merged;
        std::size_t textSize = 4096;
        for (const BookmarkRecord& r : m_ours.Records())
            textSize += r.BlockSize();
        for (const BookmarkRecord& r : m_theirs.Records())
            textSize += r.BlockSize();
        merged.Storage().text.Expect(textSize);
        merged.reserve(m_ours.size() + m_theirs.size());

        std::vector<bool> seen(m_theirs.size(), false);
        for (std::size_t i = 0; i < m_ours.size(); ++i) {
            const RecordKey& key = ours.Key(i);
            const std::uint32_t b = base.Find(key);
            const std::uint32_t t = theirs.Find(key);
            if (t != kNone)
                seen[t] = true;
            if (t == kNone) {
                if (b != kNone) {
                    ++report.removed; // deleted over there
                    continue;
                }
                merged.AppendUnindexed(merged.CopyRecord(m_ours, m_ours.Record(i)));
                continue;
            }
            MergeOne(b == kNone ? nullptr : &m_base.Record(b), m_ours.Record(i), m_theirs.Record(t),
                     merged, report);
        }
        for (std::size_t t = 0; t < m_theirs.size(); ++t) {
            if (seen[t] || base.Find(theirs.Key(t)) != kNone)
                continue; // matched above, or deleted here
            merged.AppendUnindexed(merged.CopyRecord(m_theirs, m_theirs.Record(t)));
            ++report.added;
        }
        return merged;
    }

  private:
    void MergeOne(const BookmarkRecord* baseRecord, const BookmarkRecord& oursRecord,
                  const BookmarkRecord& theirsRecord, BookmarkList& merged, MergeReport& report) {
        const BookmarkRef o = BookmarkList::Ref(oursRecord);
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
        if (tookTheirs)
            ++report.changed;
        if (!tookTheirs && notes.empty()) {
            merged.AppendUnindexed(merged.CopyRecord(m_ours, oursRecord));
            return;
        }
        std::string mergedNotes;
        if (!notes.empty()) {
            mergedNotes.assign(m.m_strNotes);
            // The marker lines follow the notes; notes that were empty start with the first.
            mergedNotes += mergedNotes.empty() ? std::string_view(notes).substr(1) : notes;
            m.m_strNotes = mergedNotes;
        }
        merged.AppendUnindexed(merged.MakeRecord(m, nullptr, 0, /*deferIds=*/true));
    }

    const BookmarkList& m_base;
    const BookmarkList& m_theirs;
    const BookmarkList& m_ours;
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
        const std::uint32_t b = base.Find(ours.Key(i));
        const std::uint32_t t = theirs.Find(ours.Key(i));
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
        if (seen[t] || base.Find(theirs.Key(t)) != kNone)
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
                             ExpandTimeFormat(ours.Prefs().m_strTimeFormat));
    BookmarkList merged = bookmarks.Merge(report);
    ours.m_arrMacros =
        MergeRecords(base.m_arrMacros, theirs.m_arrMacros, ours.m_arrMacros, MergeMacro, report);
    ours.m_arrSchedules = MergeRecords(base.m_arrSchedules, theirs.m_arrSchedules,
                                       ours.m_arrSchedules, MergeSchedule, report);
    ours.ReplaceBookmarks(std::move(merged));
    // The result lists, the dictionary and the keyword-undo owners named old positions.
    ours.m_arrKeywordHits.clear();
    ours.m_arrStringHits.clear();
    ours.m_arrDictionary.clear();
    ours.ClearUndo(kUndoKeyword);
    ours.SetModifiedFlag(true);
    ours.RerunLastSearch();
    return report;
}

} // namespace brindle
