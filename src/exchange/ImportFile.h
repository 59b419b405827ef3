// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Import command's reading of outside files: HTML content detection (Netscape, then
// Powermarks, then the links of an ordinary page) and the choice of reader by file type.

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeReport.h"

#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

enum class ImportFormat { None, Netscape, Powermarks, Anchors };

// Reads one .htm/.html file and hands its text to the content readers. None, with "cannot open
// the file" in the report, when the file cannot be read.
ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report);

// A UTF-8 file is read in windows of this size, each mapped into memory in turn.
inline constexpr size_t kImportWindowBytes = size_t{4} << 20;

struct ImportFileOptions {
    // Where the bookmarks go; empty: the document (a benchmark times the reading alone).
    BookmarkSink sink = {};
    // Smaller windows put their boundaries anywhere in a small file (tests).
    size_t windowBytes = kImportWindowBytes;
};
ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                        const ImportFileOptions& options);

// Content detection over a file's text (already UTF-8).
ImportFormat ImportHtmlText(CBrindleDoc& doc, std::string_view text);

// The reader of ordinary pages: every link with text becomes a bookmark whose keywords are its
// name. Names and URLs longer than 65,535 bytes are cut there.
void ImportAnchors(CBrindleDoc& doc, std::string_view text);

inline constexpr size_t kMaxAnchorTextBytes = 65535;

enum class ImportInputKind { Html, UrlFile, Folder, FirefoxPlaces, ChromiumBookmarks, Unsupported };

// How the Import command reads a chosen path: a folder as a Favorites tree, otherwise by the
// extension of the file name, compared byte for byte (".htm", ".html", ".url"); a file with
// another extension (or none) by its content: a Firefox places database or a Chromium
// Bookmarks file.
ImportInputKind ClassifyImportInput(const std::string& path);

} // namespace brindle
