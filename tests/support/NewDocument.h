// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reference document files as a new document writes them: the same bytes except the
// string-search field mask (offset 4), which a new document starts with the five typed fields
// (name, URL, keywords, description, notes) ticked. Files read keep the mask they hold.

#include "store/Bookmark.h"

#include <string>

namespace testutil {

inline std::string AsNewDocumentWritesIt(std::string referenceBytes) {
    referenceBytes.at(4) = static_cast<char>(kSearchNewDocumentFields);
    return referenceBytes;
}

} // namespace testutil
