// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTML import: content detection over the text formats of the exchange table (Netscape,
// then Powermarks, then the links of an ordinary page) and the reading of a file in windows.

#include "exchange/ImportResult.h"

#include <cstddef>
#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

// Reads one .htm/.html file and hands its text to the reader its content chooses. Not read,
// with "cannot open the file" naming it, when the file cannot be read.
ImportResult ImportFile(CBrindleDoc& doc, const std::string& path,
                        const ImportOptions& options = {});

// Content detection over a file's text (already UTF-8).
ImportResult ImportHtmlText(CBrindleDoc& doc, std::string_view text,
                            const ImportOptions& options = {});

// The reader of ordinary pages: every link with text becomes a bookmark whose keywords are its
// name. Names and URLs longer than 65,535 bytes are cut there.
void ImportAnchors(CBrindleDoc& doc, std::string_view text);

inline constexpr std::size_t kMaxAnchorTextBytes = 65535;

} // namespace brindle
