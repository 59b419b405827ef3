// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of the schedule list: names are unique (adding or renaming onto a name that exists
// merges into it), at most one schedule is the default, and assigning a schedule and the
// checking switch to many bookmarks at once. The dialogs only collect the values.

#include "store/TimeFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

// What the "Add New Schedule" dialog hands back.
struct ScheduleValues {
    std::string name;
    BrxTime interval = -1;
    bool isDefault = false;
};

// New: a schedule named like an existing one takes over that one's place (interval and default
// flag); else it is appended. A default schedule clears the previous default. Returns the
// index of the schedule that holds the values. Marks the document modified.
std::size_t NewSchedule(CBrindleDoc& doc, const ScheduleValues& values);

// Edit of the schedule at `index`: becoming the default clears the previous default; taking the
// name of another schedule removes that other one. Returns the edited schedule's index after
// the removal. Marks the document modified. The name is taken as given (the caller trims).
std::size_t EditSchedule(CBrindleDoc& doc, std::size_t index, const ScheduleValues& values);

// Removes the schedule at `index`; bookmarks that name it keep the name.
void DeleteSchedule(CBrindleDoc& doc, std::size_t index);

// Clears the default flag of the first schedule that has it (marking the document modified);
// its index, or -1.
int ClearDefaultSchedule(CBrindleDoc& doc);

// The choices of a schedule list: "<None>" and every schedule name in document order.
std::vector<std::string> ScheduleChoices(const CBrindleDoc& doc);

// "Set Status checking" for the given bookmarks: each gets `schedule`, the checking switch and
// the status "Waiting" (on) or "Checking off" (off). Marks the document modified even when
// nothing differed, so the command is never lost at exit.
void SetStatusChecking(CBrindleDoc& doc, const std::vector<std::uint32_t>& bookmarks,
                       std::string_view schedule, bool enable);

} // namespace brindle
