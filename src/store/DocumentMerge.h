// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Three-way merge of the document in memory with another program's copy of its file.
//
// The base is the document as both sides last shared it (what the window last read or wrote).
// Bookmarks are matched by name and URL (the document's own identity: a rename is a deletion
// and an addition), macros and schedules by name; a name that occurs several times is matched
// occurrence by occurrence. Then:
//  - a record added on either side is kept; one added on both sides is kept once;
//  - a record deleted on either side is gone, even if the other side changed it;
//  - a field changed on one side only takes that side's value, so changes of different fields
//    on the two sides all arrive;
//  - a field changed on both sides to different values keeps our value (the window's); for a
//    bookmark the other value is added to its notes on a line that starts with
//    kMergeConflictMarker. Each such field counts as one conflict.
// Our records stay in our order; the other side's additions follow in its order. The search and
// view state stays ours.

#include <cstddef>

class CBrindleDoc;

namespace brindle {

inline constexpr const char* kMergeConflictMarker = "[changed elsewhere]";

struct MergeReport {
    std::size_t added = 0;     // records that came from the other side
    std::size_t removed = 0;   // records the other side deleted
    std::size_t changed = 0;   // records that took some field from the other side
    std::size_t conflicts = 0; // fields both sides changed differently
    bool operator==(const MergeReport&) const = default;
};

// Merges `theirs` into `ours` against `base`. Afterwards `ours` holds the merged records, is
// marked modified, its keyword-undo record is forgotten (it named bookmark positions) and the
// last search has run again.
MergeReport MergeDocuments(const CBrindleDoc& base, const CBrindleDoc& theirs, CBrindleDoc& ours);

} // namespace brindle
