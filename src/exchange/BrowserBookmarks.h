// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bookmarks read straight from a browser profile: Firefox's places.sqlite and the Bookmarks
// JSON file of Chromium and the browsers built on it (Chrome, Brave, Vivaldi). Folders become
// keywords as they do in a Netscape bookmark file; tags are keywords too.

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeReport.h"
#include "store/TimeFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

enum class BrowserFileKind { None, FirefoxPlaces, ChromiumBookmarks };

// What a file holds, by its content: a SQLite database (Firefox places) or a JSON object with
// "roots" (Chromium bookmarks). None for anything else or a file that cannot be read.
BrowserFileKind DetectBrowserFile(const std::string& path);

// Reads the bookmarks of a Firefox places.sqlite. The database is never written and never
// waited for: without a -wal file beside it, it is opened immutable (a running Firefox's locks
// are not honoured, nor needed); with one, both are copied to a temporary folder first so that
// the latest changes are seen. -1, with "cannot open the file" in the report, when it cannot
// be read as a places database; otherwise the number of bookmarks added.
int ImportFirefoxPlaces(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                        const BookmarkSink& sink = {});

// Reads a Chromium Bookmarks file. -1, with "cannot open the file", when it is not one.
int ImportChromiumBookmarks(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                            const BookmarkSink& sink = {});

// The text-level part of ImportChromiumBookmarks; -1 when the text is not a Bookmarks object.
int ReadChromiumBookmarksText(CBrindleDoc& doc, std::string_view json,
                              const BookmarkSink& sink = {});

// Chromium keeps times as microseconds since 1601-01-01 UTC; 0 stays 0 (never).
BrxTime ChromiumTimeToSeconds(std::int64_t micros);

// Builds a link's keyword text from the names of the folders around it: the same rule as a
// Netscape file's folders (lower case, each name followed by a blank, at most 1,024 bytes of
// folder names), then the link's own name and its tags.
class FolderKeywords {
  public:
    void Push(std::string_view folderName);
    void Pop();
    // The keyword text of a link named `name` with comma-separated `tags`.
    const std::string& For(std::string_view name, std::string_view tags);

  private:
    std::string m_prefix;
    std::string m_text;
    std::vector<std::size_t> m_marks;
};

} // namespace brindle
