// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text conversions of the document file: strings are UTF-8 in memory; the file holds ASCII as
// bytes and anything else as UTF-16LE. Byte-form strings from other machines
// are kept when they are valid UTF-8 and otherwise decoded as Windows-1252.

#include "store/TextUtil.h" // IsWellFormedUtf8, Windows1252ToUtf8

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

// A byte-form string as read from a file: kept when valid UTF-8, else decoded as Windows-1252.
std::string ByteFormToUtf8(std::string_view bytes);

// UTF-8 to UTF-16 code units, appended to `out` as little-endian bytes. A byte that does not
// start a valid UTF-8 sequence is taken as a Windows-1252 character, so the result is what
// reading the same bytes in byte form would give. Returns the number of code units appended.
std::size_t AppendUtf16LE(std::string_view utf8, std::string& out);
// The same into `out`, which has room for 2 x utf8.size() bytes (no character takes more
// units than bytes): returns the units written.
std::size_t Utf8ToUtf16LE(std::string_view utf8, char* out);

// UTF-16LE bytes (2 x `units`) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16LEToUtf8(const char* data, std::size_t units);
// The same into `out`, which has room for Utf8BytesFor(units) bytes: returns the bytes
// written. Runs of ASCII go eight units at a time where the processor allows it. The result is
// ASCII exactly when it has `units` bytes.
std::size_t Utf16LEToUtf8(const char* data, std::size_t units, char* out);
// The most bytes `units` UTF-16 code units take in UTF-8 (a lone surrogate's U+FFFD takes 3).
constexpr std::size_t Utf8BytesFor(std::size_t units) {
    return 3 * units;
}
// The plain one-unit-at-a-time conversion, kept as the reference the fast one is checked against.
std::string Utf16LEToUtf8Reference(const char* data, std::size_t units);

} // namespace brindle
