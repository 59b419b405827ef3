// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Substring test of string search, built once per search and applied to many fields. With match
// case off both sides are compared through ToLower (TextUtil.h), whatever that does to a text.

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

class StringMatcher {
  public:
    // With `matchCase` false both sides are compared lower-cased (ToLower of TextUtil.h).
    StringMatcher(std::string_view needle, bool matchCase);

    bool Matches(std::string_view haystack) const;
    // Position of the first byte match at or after `from`, or npos. Only where ScansRaw() is
    // true. A byte match is always a match; with FoldsAscii() a text outside ASCII may hold a
    // match that only lower-casing it shows (a Kelvin sign for "k"): Matches sees those too.
    std::size_t Find(std::string_view haystack, std::size_t from) const;
    // False when the lower-cased needle has characters outside ASCII: it can then only be found
    // by lower-casing each text that has such characters.
    bool ScansRaw() const { return m_mode != Mode::Unicode; }
    // True when matching folds A-Z to a-z byte by byte (the needle is then lower-case ASCII).
    bool FoldsAscii() const { return m_mode == Mode::AsciiFold; }
    const std::string& Needle() const { return m_needle; }
    std::size_t Length() const { return m_needle.size(); }

  private:
    enum class Mode { Exact, AsciiFold, Unicode };
    std::string m_needle;
    Mode m_mode;
};

// Position of the first match of `needle` (lower-case ASCII) at or after `from` in `haystack`
// with A-Z taken as a-z, or npos.
std::size_t FindAsciiFolded(std::string_view haystack, std::string_view needle, std::size_t from);

} // namespace brindle
