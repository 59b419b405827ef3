// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Firefox's places.sqlite: its bookmark tree, with folders and tags as keywords as in a
// Netscape bookmark file.

#include "exchange/ImportResult.h"

#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

// Whether a file that starts with `head` is a SQLite database.
bool LooksLikeSqliteDatabase(std::string_view head);

// Reads the bookmarks of a places database, which is never written and never waited for (see
// PlacesDatabase). Not read, with "cannot open the file" naming it, when it is no database, its
// bookmark tables are not ordinary tables with the columns read, its private copy fails the
// quick check, a value passes the bound, or reading takes longer than the options' budget.
ImportResult ImportFirefoxPlaces(CBrindleDoc& doc, const std::string& path,
                                 const ImportOptions& options = {});

} // namespace brindle
