// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bringing outside files to the core's UTF-8 text: byte-order marks, legacy encodings, line
// ends. The UTF-8 and Windows-1252 helpers themselves are the store's (store/TextUtil.h).

#include <cstddef>
#include <string>
#include <string_view>

namespace brindle {

// The text without a leading UTF-8 byte-order mark.
std::string_view SkipUtf8Bom(std::string_view text);

// Turns the bytes of an outside file into UTF-8: a UTF-8 byte-order mark is dropped, a UTF-16
// one decodes the file as UTF-16; otherwise valid UTF-8 is kept as it is, and anything else is
// decoded with the charset the file declares (an HTML meta charset) or, failing that, as
// Windows-1252, the code page such files were written in.
std::string DecodeOutsideText(std::string bytes);

// CR LF pairs become a single LF, as a file read in text mode gives them.
void NormalizeLineEnds(std::string& text);

// Appends what ToLower(text) returns, without a string of its own for ASCII text.
void AppendLower(std::string& out, std::string_view text);
// True when ToLower would return the text unchanged because it is ASCII without capitals.
bool IsLowerAscii(std::string_view text);

// Removes the blanks TrimView would leave out, in place.
void TrimInPlace(std::string& text);

} // namespace brindle
