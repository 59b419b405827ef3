// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Macro.h"

CMacro::CMacro(std::int32_t kind, std::string name, std::string text, std::uint32_t hotKey)
    : m_strName(std::move(name)), m_nKind(kind), m_dwHotKey(hotKey) {
    if (kind == kMacroUrl)
        m_strURL = std::move(text);
    else if (kind == kMacroKeywords)
        m_strKeywords = std::move(text);
}

CMacro CMacro::StringSearch(std::string name, std::string search, std::uint32_t fields,
                            bool matchCase, std::uint32_t hotKey) {
    CMacro m;
    m.m_strName = std::move(name);
    m.m_strSearch = std::move(search);
    m.m_dwFields = fields;
    m.m_bMatchCase = matchCase ? 1 : 0;
    m.m_nKind = kMacroString;
    m.m_dwHotKey = hotKey;
    return m;
}

std::string CMacro::GetText(int part) const {
    switch (part) {
    case 0:
        return m_strName;
    case 1:
        return m_strURL;
    case 2:
        return m_strKeywords;
    case 3:
        return m_strSearch;
    default:
        return "?";
    }
}
