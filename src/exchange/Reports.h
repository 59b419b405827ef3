// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two report formats only Brindle writes: a styled HTML page and a plain text listing.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"

#include <string>

class CBrindleDoc;

namespace brindle {

// The address the reports invite feedback at.
inline constexpr const char* kFeedbackAddress = "feedback@brindle.example.org";

// Failures of both: "Create Directory Fail" (folder chain), "cannot write the file".
bool ExportHtml(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report);
bool ExportText(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report);

} // namespace brindle
