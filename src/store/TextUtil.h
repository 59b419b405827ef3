// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text helpers of the whole program (core, command line and window): trimming and
// lower-casing of UTF-8 byte strings, UTF-8 decoding and cutting, and Windows-1252.

#include <string>
#include <string_view>

namespace brindle {

// The white space that trimming removes (ASCII only, as the stored texts are byte strings).
bool IsBlank(char c);

std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Lower-cases UTF-8 text: ASCII through a fast path, other characters through Unicode's simple
// case mapping. Bytes that are not valid UTF-8 are kept as they are, so no input is ever damaged.
std::string ToLower(std::string_view text);

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// Decodes the well-formed UTF-8 sequence at text[i] (ASCII included): its length, or 0 when the
// bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8At(std::string_view text, std::size_t i, char32_t& cp);
// Appends code point `cp` in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// True when the whole text is well-formed UTF-8.
bool IsWellFormedUtf8(std::string_view text);

// The length of the longest start of `text` that has at most `maxBytes` bytes and does not end
// inside a UTF-8 character: a cut there steps back over continuation bytes to the start of the
// character it would split. The whole length when the text fits.
std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes);
// Cuts `text` to Utf8PrefixLength(text, maxBytes) bytes.
void TruncateUtf8(std::string& text, std::size_t maxBytes);

// The character of a Windows-1252 byte. The five bytes the code page leaves unassigned (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) keep their C1 control value, as Windows itself and ICU decode them:
// no byte is lost and the text goes back to the same bytes.
char32_t Windows1252CodePoint(unsigned char byte);
// Decodes Windows-1252 bytes into UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace brindle
