// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening and saving a document from a command, with the program's own rules and messages: a
// failure prints the system's text ("Unexpected file format.", "FILE was not found.", ...) on
// the error stream.

#include <ostream>
#include <string>

class CBrindleDoc;

namespace brindle {
class DocumentLock;
struct BookmarkFilter;
} // namespace brindle

namespace brindle::cli {

// A command that changes FILE holds its lock from before reading it to the end of its save, so
// that two writers never interleave (the window takes the same lock). False, with the message
// on `err`, when another writer kept it for the whole wait.
bool LockDocument(DocumentLock& lock, const std::string& path, std::ostream& err);

// Opens FILE as the program's Open does (the document's previous contents are replaced). With
// a filter only the bookmarks it chooses are kept.
bool OpenDocument(CBrindleDoc& doc, const std::string& path, std::ostream& err,
                  const BookmarkFilter* filter = nullptr);

// Writes the document to FILE without backups (as Save As does); atomic.
bool SaveDocumentAs(CBrindleDoc& doc, const std::string& path, std::ostream& err);

// Saves with the Save command's rules: "<base>.bak" and "<base>.bk0" first when `backups`, then
// FILE; every failed write prints its message. True when FILE itself was written.
bool SaveDocument(CBrindleDoc& doc, const std::string& path, bool backups, std::ostream& err);

} // namespace brindle::cli
