// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which bookmarks an export writes, and in which order.

#include "store/Bookmark.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

// The choices of the export dialog that every writer takes.
struct ExportOptions {
    bool selectedOnly = false;               // "Selected" instead of "All"
    std::vector<std::uint32_t> selectedRows; // rows of the bookmark list, for "Selected"
    std::string title;                       // "Title of exported file:"
    std::string sortField = "Name";          // one of the twelve names; "" keeps collection order
    bool ascending = true;                   // "A-Z"
    std::uint16_t fieldMask = kAllColumns;   // bit i ticks column i (Powermarks, HTML, text)
};

// The "Sorted by:" names, columns 0 to 11 in this order.
inline constexpr std::string_view kSortFieldNames[kFieldCount] = {
    "Name",     "URL",    "Keywords", "Description",  "Notes",         "Status checking",
    "Schedule", "Status", "Add date", "Last visited", "Last modified", "Last checked"};

// Column of a sort-field name, or -1 for "" or an unknown name.
int SortFieldColumn(std::string_view name);

// Fills the document's export copy and returns it. "All": every bookmark, ordered by
// the sort field in the chosen direction, equal keys in collection order (each bookmark goes
// after the ones it equals); no sort field keeps collection order. "Selected": the selected rows
// of the bookmark list from the top down, or every row when none is selected; no sorting.
const std::vector<BookmarkRef>& SelectForExport(CBrindleDoc& doc, const ExportOptions& options);

} // namespace brindle
