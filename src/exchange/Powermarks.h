// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Powermarks 3.0 file: an HTML bookmark list whose comments carry every other field, the
// macros and the schedules.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"

#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

// Adds the macros, schedules and bookmarks of a Powermarks 3.0 file. False, with nothing
// changed, when the text has no "<!--Powermarks Format 3.0-->" marker (any letter case).
bool ImportPowermarks(CBrindleDoc& doc, std::string_view text);

// Writes the whole data set; the field mask of `options` decides which optional fields go out.
// Failures: "Create Directory Fail" (folder chain), "cannot write the file".
bool ExportPowermarks(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                      ExchangeReport& report);

// A hexadecimal number of at most eight digits ("" is 0), as the file writes them.
bool ParsePowermarksHex(std::string_view text, std::uint32_t& value);

} // namespace brindle
