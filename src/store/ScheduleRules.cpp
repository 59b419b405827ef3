// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ScheduleRules.h"

#include "store/BrindleDoc.h"

#include <memory>

namespace brindle {

int ClearDefaultSchedule(CBrindleDoc& doc) {
    for (std::size_t i = 0; i < doc.m_arrSchedules.size(); ++i) {
        if (doc.m_arrSchedules[i]->m_bDefault) {
            doc.m_arrSchedules[i]->m_bDefault = 0;
            return static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

int FindSchedule(const CBrindleDoc& doc, std::string_view name, std::size_t except) {
    for (std::size_t i = 0; i < doc.m_arrSchedules.size(); ++i)
        if (i != except && doc.m_arrSchedules[i]->m_strName == name)
            return static_cast<int>(i);
    return -1;
}

} // namespace

std::size_t NewSchedule(CBrindleDoc& doc, const ScheduleValues& values) {
    if (values.isDefault)
        ClearDefaultSchedule(doc);
    doc.SetModifiedFlag(true);
    const int existing = FindSchedule(doc, values.name, doc.m_arrSchedules.size());
    if (existing >= 0) {
        CSchedule& s = *doc.m_arrSchedules[static_cast<std::size_t>(existing)];
        s.m_tInterval = values.interval;
        s.m_bDefault = values.isDefault ? 1 : 0;
        return static_cast<std::size_t>(existing);
    }
    doc.m_arrSchedules.push_back(
        std::make_unique<CSchedule>(values.name, values.interval, values.isDefault));
    return doc.m_arrSchedules.size() - 1;
}

std::size_t EditSchedule(CBrindleDoc& doc, std::size_t index, const ScheduleValues& values) {
    if (index >= doc.m_arrSchedules.size())
        return index;
    CSchedule& edited = *doc.m_arrSchedules[index];
    if (values.isDefault && !edited.m_bDefault)
        ClearDefaultSchedule(doc);
    const int other = FindSchedule(doc, values.name, index);
    edited.m_strName = values.name;
    edited.m_tInterval = values.interval;
    edited.m_bDefault = values.isDefault ? 1 : 0;
    if (other >= 0) {
        doc.m_arrSchedules.erase(doc.m_arrSchedules.begin() + other);
        if (static_cast<std::size_t>(other) < index)
            --index;
    }
    doc.SetModifiedFlag(true);
    return index;
}

void DeleteSchedule(CBrindleDoc& doc, std::size_t index) {
    if (index >= doc.m_arrSchedules.size())
        return;
    doc.SetModifiedFlag(true);
    doc.m_arrSchedules.erase(doc.m_arrSchedules.begin() + static_cast<std::ptrdiff_t>(index));
}

std::vector<std::string> ScheduleChoices(const CBrindleDoc& doc) {
    std::vector<std::string> choices{kNoSchedule};
    for (const auto& s : doc.m_arrSchedules)
        choices.push_back(s->m_strName);
    return choices;
}

void SetStatusChecking(CBrindleDoc& doc, const std::vector<std::uint32_t>& bookmarks,
                       std::string_view schedule, bool enable) {
    for (std::uint32_t index : bookmarks) {
        if (index >= doc.m_arrBookmarks.size())
            continue;
        doc.SetFieldText(index, kFieldSchedule, schedule);
        doc.SetStatusChecking(index, enable ? 1 : 0);
        doc.SetFieldText(index, kFieldStatus, enable ? kStatusWaiting : "Checking off");
    }
    doc.SetModifiedFlag(true);
}

} // namespace brindle
