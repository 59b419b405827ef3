// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bookmarks put into a document as a file reader puts them: exactly as given, without
// AddBookmark's rules (a trimmed name, no duplicate, a known schedule). Tests use it for what
// damaged or foreign files hold; everything else goes through the document's operations.

#include "store/BrindleDoc.h"

#include <iterator>
#include <utility>

namespace testutil {

// Appends every item of `items` (BookmarkRefs or CBookmarks) behind the document's bookmarks.
// The document takes the longer list as it takes a file's; it stays as modified as it was.
template <typename Items> void AppendAsRead(CBrindleDoc& doc, const Items& items) {
    const brindle::BookmarkList& old = doc.Bookmarks();
    brindle::BookmarkList list;
    list.reserve(old.size() + std::size(items));
    for (const brindle::BookmarkRecord& r : old.Records())
        list.Records().push_back(list.CopyRecord(old, r));
    for (const auto& item : items)
        list.push_back(item);
    doc.ReplaceBookmarks(std::move(list));
}

} // namespace testutil
