// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".brx" document file: the 27-byte header of search and view state, then the
// bookmark, macro and schedule arrays as tagged objects. Reading and writing of the records,
// of whole documents in memory, and of files (every write atomic).

#include "store/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CBrindleDoc;
class CMacro;
struct BookmarkRef;
class CSchedule;

namespace brindle {

class ArchiveReader;
class ArchiveWriter;
class BookmarkList;
struct BookmarkFilter;

// The outcome of reading or writing: on failure, the text the system shows ("Unexpected file
// format.", a file-error text with the file name, "Failed to open document.", ...).
struct ArchiveResult {
    bool ok = true;
    std::string message;

    explicit operator bool() const { return ok; }
    static ArchiveResult Success() { return {}; }
    static ArchiveResult Failure(std::string text) { return {false, std::move(text)}; }
};

// Each record's Serialize: its fields in the order of its table.
void WriteBookmark(ArchiveWriter& ar, const BookmarkRef& b);
void WriteMacro(ArchiveWriter& ar, const CMacro& m);
void WriteSchedule(ArchiveWriter& ar, const CSchedule& s);
// Reads one bookmark onto the end of `list`; its keyword list is the split of its keyword text.
void ReadBookmark(ArchiveReader& ar, BookmarkList& list);
void ReadMacro(ArchiveReader& ar, CMacro& m);
void ReadSchedule(ArchiveReader& ar, CSchedule& s);

// The document's Serialize when storing: header, then the three arrays.
void WriteDocument(const CBrindleDoc& doc, ArchiveWriter& ar);
// The header WriteDocument writes, with a new document's view settings: for files in the
// document format that belong to no window (the trash).
void WriteDefaultHeader(ArchiveWriter& ar);
std::string DocumentToBytes(const CBrindleDoc& doc);

// The document's Serialize when loading. On success the document's stored state and its three
// arrays are exactly the file's (in file order, duplicates kept, keyword lists rebuilt) and its
// caches are invalidated; the modified flag is left cleared. On failure nothing is changed.
// Extra bytes after the schedule array are ignored.
ArchiveResult ReadDocumentBytes(CBrindleDoc& doc, std::string_view bytes);
// With a filter, only the bookmarks it chooses are kept (in file order).
ArchiveResult ReadDocumentFile(CBrindleDoc& doc, const std::string& path,
                               const BookmarkFilter* filter = nullptr);

// The stored state and record counts of a document file, read without keeping the records'
// texts (what `brindle-cli info` prints). A damaged file fails here with the message opening
// it gives.
struct DocumentSummary {
    std::int32_t searchMode = 0;
    std::uint8_t stringFields = 0;
    std::int32_t partialMatch = 0;
    std::uint16_t columns = 0;
    std::int32_t matchCase = 0;
    std::int32_t sortAscending = 0;
    std::int32_t sortColumn = 0;
    std::size_t bookmarks = 0;
    std::size_t macros = 0;
    std::size_t schedules = 0;
};
ArchiveResult ReadDocumentSummaryBytes(std::string_view bytes, DocumentSummary& out);
ArchiveResult ReadDocumentSummaryFile(const std::string& path, DocumentSummary& out);

// Opening a document: DeleteContents, then read the file.
// After a failure the collection is empty (schedules stay, as DeleteContents leaves them), the
// modified flag is cleared and every view is told to rebuild.
ArchiveResult OpenDocumentFile(CBrindleDoc& doc, const std::string& path,
                               const BookmarkFilter* filter = nullptr);

// Writes the document to `path` through a temporary file and a rename; the previous file stays
// intact on any failure. The modified flag is not touched.
ArchiveResult WriteDocumentFile(const CBrindleDoc& doc, const std::string& path,
                                const WriteFunction& write = {});

} // namespace brindle
