// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Netscape bookmark file: reading (folders become keywords) and writing.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "store/TimeFormat.h"

#include <string>
#include <string_view>

struct BookmarkRef;
class CBrindleDoc;

namespace brindle {

// Adds the bookmarks of a Netscape bookmark file. False, with nothing changed, when the text
// has no "<!DOCTYPE NETSCAPE" line (any letter case).
bool ImportNetscape(CBrindleDoc& doc, std::string_view text);

// Reads the ADD_DATE, LAST_VISIT and LAST_MODIFIED attributes of a tag into the three values;
// a missing attribute or one that is not a plain decimal number leaves its value alone. Values
// in milliseconds, microseconds or nanoseconds are brought back to seconds.
void ParseNetscapeDates(std::string_view tagText, BrxTime& addDate, BrxTime& lastVisit,
                        BrxTime& lastModified);

// Seconds since 1970 from a stamp that may be in seconds, ms, µs or ns.
BrxTime NormaliseEpoch(std::uint64_t stamp);

// Writes the exported bookmarks as a Netscape bookmark file. False, with "cannot write the
// file" in the report, when the file cannot be written.
bool ExportNetscape(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                    ExchangeReport& report);

// One entry line, without its line end: <DT><A HREF="url" ADD_DATE=.. ..>name</A>
void AppendNetscapeEntry(std::string& out, const BookmarkRef& bookmark);

} // namespace brindle
