// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Bookmarks JSON file of Chromium and the browsers built on it (Chrome, Brave, Vivaldi):
// each root is a folder of its own name, and folders become keywords.

#include "exchange/ImportResult.h"
#include "store/TimeFormat.h"

#include <cstdint>
#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

// Whether a file that starts with `head` is a Bookmarks file: a JSON object with "roots".
bool LooksLikeChromiumBookmarks(std::string_view head);

// Reads a Bookmarks file; not read, with "cannot open the file" naming it, when it is not one.
ImportResult ImportChromiumBookmarks(CBrindleDoc& doc, const std::string& path,
                                     const ImportOptions& options = {});

// The text-level part of ImportChromiumBookmarks; not read when the text is not a Bookmarks
// object (no message: the caller names the file).
ImportResult ReadChromiumBookmarksText(CBrindleDoc& doc, std::string_view json,
                                       const ImportOptions& options = {});

// Chromium keeps times as microseconds since 1601-01-01 UTC; 0 stays 0 (never).
BrxTime ChromiumTimeToSeconds(std::int64_t micros);

} // namespace brindle
