// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one table of exchange formats. The Import command, the import wizard, the export dialog
// and brindle-cli know a format only through its row: its names, its file extensions, how its
// content is recognised, and the functions that read and write it.

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "exchange/ImportResult.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

using ImportFunction = ImportResult (*)(CBrindleDoc& doc, const std::string& path,
                                        const ImportOptions& options);
using ExportFunction = bool (*)(CBrindleDoc& doc, const std::string& path,
                                const ExportOptions& options, ExchangeReport& report);
using ReaderFactory = std::unique_ptr<ChunkReader> (*)(CBrindleDoc& doc, BookmarkSink sink);

// The export choices a format takes (ExchangeFormat::exportTakes).
enum ExportTakes : unsigned {
    kTakesTitle = 1u << 0,  // "Title of exported file:"
    kTakesSort = 1u << 1,   // "Sorted by:" and the order; without it, collection order
    kTakesFields = 1u << 2, // the fields to write
    kTakesUsers = 1u << 3,  // "Export to bookmark file for Netscape user"
    kWritesFolder = 1u << 4 // the target is a folder, not a file
};

struct ExchangeFormat {
    FormatId id;
    std::string_view key;                              // the name brindle-cli takes (--format)
    std::span<const std::string_view> extensions = {}; // of its files; the first is the default
    // Files known by their whole name (a browser's own), offered by the Import dialog.
    std::span<const std::string_view> fileNames = {};

    // Reading. Files are matched by the extension of their name, compared byte for byte; among
    // rows of the same extensions, the content decides (`marker`, in table order).
    const char* importFilter = nullptr; // the Import dialog's filter entry; null: none
    ImportFunction import = nullptr;    // null: not read
    // Text formats read by the HTML import: the text that claims a file (any letter case; ""
    // for the reader that takes what no other claims) and the reader.
    std::string_view marker = {};
    ReaderFactory makeReader = nullptr;
    // Formats of no extension of their own: whether a file that begins with `head` is one.
    bool (*claims)(std::string_view head) = nullptr;
    bool readsFolders = false; // a chosen folder is read by this row

    // Writing.
    const char* exportName = nullptr; // the export dialog's list entry (context "CExportDlg")
    const char* exportDescription = nullptr; // shown for "All" ("all" becomes "selected")
    ExportFunction exportTo = nullptr;       // null: not written
    unsigned exportTakes = 0;

    bool Takes(ExportTakes what) const { return (exportTakes & what) != 0; }
};

// Every row, in table order: the export dialog's order.
std::span<const ExchangeFormat> ExchangeFormats();
const ExchangeFormat& FormatOf(FormatId id);
const ExchangeFormat* FindFormat(std::string_view key);

// The rows that can be written, in table order.
std::vector<const ExchangeFormat*> ExportFormats();

// The row that reads `path`: a folder by the row that reads folders; a file by the extension of
// its name, else by its first bytes. Null for a path no row reads.
const ExchangeFormat* ImportFormatFor(const std::string& path);

// Reads the whole `text` with the reader of the text format `id` when the text carries its
// marker; false (nothing read) when it does not.
bool ImportMarkedText(CBrindleDoc& doc, std::string_view text, FormatId id);

// The text readers of the HTML import, in the order they claim a file: the rows with a marker,
// then the one without.
std::vector<const ExchangeFormat*> TextFormats();

// "Name(*.a;*.b)|*.a;*.b|" for a format's extensions (and whole file names).
std::string FilterEntry(std::string_view name, const ExchangeFormat& format);

// The Import dialog's filter: the text formats in the order they claim a file, then the other
// rows with a filter entry, in table order, then every file (read by content); ends with "|".
std::string ImportDialogFilter();

// The extensions the Import command reads, for messages: ".htm, .html, .url or .xbel".
std::string ImportExtensionsText();

// The keys of the rows that can be written: "netscape, favorites, ... or text" (`separator`
// between all but the last two, which `last` joins).
std::string ExportKeysText(std::string_view separator = ", ", std::string_view last = " or ");

} // namespace brindle
