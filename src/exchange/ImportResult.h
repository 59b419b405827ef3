// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every import returns, and the options every import takes.

#include "exchange/ExchangeReport.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

class CBrindleDoc;
struct BookmarkFields;

namespace brindle {

// The formats of the exchange table (ExchangeFormats.h), in its order.
enum class FormatId {
    None,
    Netscape,
    Favorites,
    Powermarks,
    Html,
    Text,
    FirefoxPlaces,
    Chromium,
    Xbel,
};

struct ImportResult {
    FormatId format = FormatId::None; // the format the input was read as; None: it was not read
    int added = 0;                    // bookmarks the document (or the sink) took
    int duplicates = 0;               // bookmarks the document refused as already there
    int macros = 0;                   // macros and schedules added (Powermarks files carry them)
    int schedules = 0;
    // Problems met, in the order they arose: each names its file and, for an input of many
    // items (a Favorites tree), the item's position in it.
    ExchangeReport problems;

    bool Read() const { return format != FormatId::None; }
    // The counts and problems of one item of this input (a file of a tree) at `position`.
    void Include(ImportResult&& item, std::size_t position);
};

// Where a reader puts each bookmark it has read instead of the document; true when it took it,
// false when it refused it as a duplicate. The views in the fields are valid only during the
// call. Empty: the document's AddBookmark.
using BookmarkSink = std::function<bool(const BookmarkFields&)>;

// A UTF-8 file is read in windows of this size, each mapped into memory in turn.
inline constexpr std::size_t kImportWindowBytes = std::size_t{4} << 20;

struct ImportOptions {
    // Where the bookmarks go; empty: the document (a benchmark times the reading alone).
    BookmarkSink sink = {};
    // Smaller windows put their boundaries anywhere in a small file (tests).
    std::size_t windowBytes = kImportWindowBytes;
    // How long a database reader may work before it gives up: a database is a program as much
    // as data, and one made to never finish must not hang the import.
    std::chrono::milliseconds timeBudget{5000};
};

// Hands a bookmark to the sink, or else to the document, and counts it in `result`.
bool AddImported(CBrindleDoc& doc, const BookmarkSink& sink, const BookmarkFields& fields,
                 ImportResult& result);

// A sink that does what AddImported does, for the readers that take a sink.
BookmarkSink CountingSink(CBrindleDoc& doc, const BookmarkSink& sink, ImportResult& result);

} // namespace brindle
