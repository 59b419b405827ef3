#pragma once
// Opening and saving a document from a command, with the program's own rules and messages: a
// failure prints the system's text ("Unexpected file format.", "FILE was not found.", ...) on
// the error stream.

#include <ostream>
#include <string>

class CBrindleDoc;

namespace brindle::cli {

// Opens FILE as the program's Open does (the document's previous contents are replaced).
bool OpenDocument(CBrindleDoc& doc, const std::string& path, std::ostream& err);

// Writes the document to FILE without backups (as Save As does); atomic.
bool SaveDocumentAs(CBrindleDoc& doc, const std::string& path, std::ostream& err);

// Saves with the Save command's rules: "<base>.bak" and "<base>.bk0" first when `backups`, then
// FILE; every failed write prints its message. True when FILE itself was written.
bool SaveDocument(CBrindleDoc& doc, const std::string& path, bool backups, std::ostream& err);

} // namespace brindle::cli
