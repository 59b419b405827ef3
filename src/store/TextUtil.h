#pragma once
// Small text helpers shared by the whole core: trimming and lower-casing of UTF-8 byte strings.

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

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace brindle
