// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fixed-size bookmark record that cut, copy and paste exchange through the clipboard: 4,308
// bytes per bookmark, texts zero-terminated and cut to their field, integers little-endian.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct BookmarkRef;
class CBookmark;
class CMacro;

namespace brindle {

inline constexpr std::size_t kBookmarkRecordSize = 4308;

// Appends one record for `b` to `out`.
void AppendBookmarkRecord(std::string& out, const BookmarkRef& b);
// Writes one record for `b` into the kBookmarkRecordSize bytes at `record`.
void WriteBookmarkRecord(char* record, const BookmarkRef& b);
// The records of `block`, one bookmark each; a trailing partial record is ignored.
std::vector<CBookmark> ReadBookmarkRecords(std::string_view block);

// The macro record of the same exchange: 1,784 bytes per macro.
inline constexpr std::size_t kMacroRecordSize = 1784;
void AppendMacroRecord(std::string& out, const CMacro& m);
// The records of `block`, one macro each (any kind, as stored); a trailing partial record is
// ignored.
std::vector<CMacro> ReadMacroRecords(std::string_view block);

// Copies `text` into a field of `size` bytes: at most size - 1 bytes, never splitting a UTF-8
// character, then zeros.
void PutTextField(char* field, std::size_t size, std::string_view text);
// The text of a zero-terminated field (all of it when no zero byte is found).
std::string GetTextField(const char* field, std::size_t size);

} // namespace brindle
