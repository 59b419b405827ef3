// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CMacro: a named URL shortcut, keyword search or string search, with an optional key.

#include "store/Bookmark.h"

#include <cstdint>
#include <string>

enum MacroKind : std::int32_t { kMacroUrl = 1, kMacroKeywords = 2, kMacroString = 3 };

class CMacro {
  public:
    CMacro() = default;
    // Kind 1 takes `text` as its URL, kind 2 as its keywords.
    CMacro(std::int32_t kind, std::string name, std::string text, std::uint32_t hotKey);
    // A string-search macro (kind 3).
    static CMacro StringSearch(std::string name, std::string search, std::uint32_t fields,
                               bool matchCase, std::uint32_t hotKey);

    std::string m_strName;
    std::string m_strURL;
    std::string m_strKeywords;
    std::string m_strSearch;
    std::uint32_t m_dwFields = 0;
    std::uint8_t m_bMatchCase = 0;
    std::int32_t m_nKind = 0;
    // High 16 bits: hot-key-control modifiers (1 Shift, 2 Ctrl, 4 Alt, 8 extended); low 16
    // bits: virtual-key code; 0 = none.
    std::uint32_t m_dwHotKey = 0;

    // Text part by number: 0 name, 1 URL, 2 keywords, 3 search string, else "?".
    std::string GetText(int part) const;
    // The field mask (searchable fields only) and match case of a string-search macro.
    StringSearchOptions SearchOptions() const {
        return {static_cast<std::uint8_t>(m_dwFields & kSearchAllFields), m_bMatchCase != 0};
    }
};
