// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ScheduleRules.h"

#include "store/BrindleDoc.h"

namespace brindle {

int ClearDefaultSchedule(CBrindleDoc& doc) {
    const auto schedules = doc.Schedules();
    for (std::size_t i = 0; i < schedules.size(); ++i) {
        if (schedules[i].m_bDefault) {
            CSchedule cleared = schedules[i];
            cleared.m_bDefault = 0;
            doc.ReplaceSchedule(i, cleared);
            return static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

int FindSchedule(const CBrindleDoc& doc, std::string_view name, std::size_t except) {
    const auto schedules = doc.Schedules();
    for (std::size_t i = 0; i < schedules.size(); ++i)
        if (i != except && schedules[i].m_strName == name)
            return static_cast<int>(i);
    return -1;
}

} // namespace

std::size_t NewSchedule(CBrindleDoc& doc, const ScheduleValues& values) {
    if (values.isDefault)
        ClearDefaultSchedule(doc);
    doc.SetModifiedFlag(true);
    const CSchedule made(values.name, values.interval, values.isDefault);
    const int existing = FindSchedule(doc, values.name, doc.Schedules().size());
    if (existing >= 0) {
        doc.ReplaceSchedule(static_cast<std::size_t>(existing), made);
        return static_cast<std::size_t>(existing);
    }
    doc.AddSchedule(values.name, values.interval, values.isDefault);
    return doc.Schedules().size() - 1;
}

std::size_t EditSchedule(CBrindleDoc& doc, std::size_t index, const ScheduleValues& values) {
    if (index >= doc.Schedules().size())
        return index;
    if (values.isDefault && !doc.Schedules()[index].m_bDefault)
        ClearDefaultSchedule(doc);
    const int other = FindSchedule(doc, values.name, index);
    doc.ReplaceSchedule(index, CSchedule(values.name, values.interval, values.isDefault));
    if (other >= 0) {
        doc.RemoveSchedule(static_cast<std::size_t>(other));
        if (static_cast<std::size_t>(other) < index)
            --index;
    }
    doc.SetModifiedFlag(true);
    return index;
}

void DeleteSchedule(CBrindleDoc& doc, std::size_t index) {
    if (index >= doc.Schedules().size())
        return;
    doc.RemoveSchedule(index);
}

std::vector<std::string> ScheduleChoices(const CBrindleDoc& doc) {
    std::vector<std::string> choices{kNoSchedule};
    for (const CSchedule& s : doc.Schedules())
        choices.push_back(s.m_strName);
    return choices;
}

void SetStatusChecking(CBrindleDoc& doc, const std::vector<std::uint32_t>& bookmarks,
                       std::string_view schedule, bool enable) {
    for (std::uint32_t index : bookmarks) {
        if (index >= doc.Bookmarks().size())
            continue;
        doc.SetFieldText(index, kFieldSchedule, schedule);
        doc.SetStatusChecking(index, enable ? 1 : 0);
        doc.SetFieldText(index, kFieldStatus, enable ? kStatusWaiting : kStatusSetCheckingOff);
    }
    doc.SetModifiedFlag(true);
}

} // namespace brindle
