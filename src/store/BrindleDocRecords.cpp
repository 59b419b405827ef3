// SPDX-License-Identifier: GPL-3.0-or-later
// Macros and schedules as the document keeps them.

#include "store/BrindleDoc.h"

void CBrindleDoc::AddMacro(std::int32_t kind, std::string_view name, std::string_view text,
                           std::uint32_t hotKey) {
    m_arrMacros.push_back(
        std::make_unique<CMacro>(kind, std::string(name), std::string(text), hotKey));
    SetModifiedFlag(true);
}

void CBrindleDoc::AddStringMacro(std::string_view name, std::string_view search,
                                 std::uint32_t fields, bool matchCase, std::uint32_t hotKey) {
    m_arrMacros.push_back(std::make_unique<CMacro>(
        CMacro::StringSearch(std::string(name), std::string(search), fields, matchCase, hotKey)));
    SetModifiedFlag(true);
}

void CBrindleDoc::DeleteMacro(std::uint32_t index) {
    if (index >= m_arrMacros.size())
        return;
    SetModifiedFlag(true);
    m_arrDeletedMacros.push_back(std::move(m_arrMacros[index]));
    m_arrMacros.erase(m_arrMacros.begin() + index);
}

void CBrindleDoc::ReplaceMacro(std::uint32_t index, const CMacro& edited) {
    if (index >= m_arrMacros.size())
        return;
    CMacro& m = *m_arrMacros[index];
    const std::int32_t kind = m.m_nKind;
    m = edited;
    m.m_nKind = kind;
    SetModifiedFlag(true);
}

void CBrindleDoc::UndoDeleteMacros() {
    if (m_arrDeletedMacros.empty())
        return;
    for (auto& m : m_arrDeletedMacros)
        m_arrMacros.push_back(std::move(m));
    m_arrDeletedMacros.clear();
    SetModifiedFlag(true); // the restored macros must reach the file
}

std::string CBrindleDoc::GetMacroText(std::uint32_t index, int part) const {
    return index < m_arrMacros.size() ? m_arrMacros[index]->GetText(part) : std::string();
}

std::int32_t CBrindleDoc::GetMacroKind(std::uint32_t index) const {
    return index < m_arrMacros.size() ? m_arrMacros[index]->m_nKind : 0;
}

bool CBrindleDoc::GetMacroMatchCase(std::uint32_t index) const {
    return index < m_arrMacros.size() && m_arrMacros[index]->m_bMatchCase != 0;
}

std::uint32_t CBrindleDoc::GetMacroFields(std::uint32_t index) const {
    return index < m_arrMacros.size() ? m_arrMacros[index]->m_dwFields : 0;
}

std::uint32_t CBrindleDoc::GetMacroHotKey(std::uint32_t index) const {
    return index < m_arrMacros.size() ? m_arrMacros[index]->m_dwHotKey : 0;
}

StringSearchOptions CBrindleDoc::GetMacroSearchOptions(std::uint32_t index) const {
    return index < m_arrMacros.size() ? m_arrMacros[index]->SearchOptions() : StringSearchOptions{};
}

void CBrindleDoc::AddSelectedUrlMacros(const Hits& selectedBookmarks) {
    bool added = false;
    for (auto it = selectedBookmarks.rbegin(); it != selectedBookmarks.rend(); ++it) {
        if (*it >= m_arrBookmarks.size())
            continue;
        const BookmarkRef b = m_arrBookmarks[*it];
        AddMacro(kMacroUrl, b.m_strName, b.m_strURL, 0);
        added = true;
    }
    if (added)
        Notify([](DocListener& l) { l.ReloadMacros(); });
}

void CBrindleDoc::AddSchedule(std::string_view name, BrxTime interval, bool isDefault) {
    m_arrSchedules.push_back(std::make_unique<CSchedule>(std::string(name), interval, isDefault));
    SetModifiedFlag(true);
}

bool CBrindleDoc::ScheduleExists(std::string_view name) const {
    for (const auto& s : m_arrSchedules)
        if (s->m_strName == name)
            return true;
    return false;
}

std::string CBrindleDoc::GetDefaultScheduleName() const {
    for (const auto& s : m_arrSchedules)
        if (s->m_bDefault)
            return s->m_strName;
    return {};
}

std::string CBrindleDoc::DefaultScheduleOrNone() const {
    std::string name = GetDefaultScheduleName();
    return name.empty() ? std::string(kNoSchedule) : name;
}

void CBrindleDoc::ReplaceSchedule(std::size_t index, const CSchedule& schedule) {
    if (index >= m_arrSchedules.size())
        return;
    *m_arrSchedules[index] = schedule;
    SetModifiedFlag(true);
}

void CBrindleDoc::RemoveSchedule(std::size_t index) {
    if (index >= m_arrSchedules.size())
        return;
    m_arrSchedules.erase(m_arrSchedules.begin() + static_cast<std::ptrdiff_t>(index));
    SetModifiedFlag(true);
}

std::string CBrindleDoc::GetScheduleName(std::uint32_t index) const {
    return index < m_arrSchedules.size() ? m_arrSchedules[index]->m_strName : std::string();
}
