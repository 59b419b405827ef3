// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The schedule interval: a unit and a number stored as the time value of a local
// date-time counted from the base 1970-01-01 08:00:00 local time, its decoding for editing, and
// the detail text of the schedule list. All of it follows the machine's time zone (TZ).

#include "store/TimeFormat.h"

#include <optional>
#include <string>
#include <string_view>

class CSchedule;

namespace brindle {

enum class ScheduleUnit { Hours, Days, Weeks, Months, Years };

// "Hours", "Days", "Weeks", "Months", "Years".
const char* ScheduleUnitName(ScheduleUnit unit);
std::optional<ScheduleUnit> ScheduleUnitFromName(std::string_view name);

inline constexpr BrxTime kNoInterval = -1;
inline constexpr int kMinScheduleNumber = 1;
inline constexpr int kMaxScheduleNumber = 32767;

// The largest number of `unit` whose interval the stored field holds, at most
// kMaxScheduleNumber: 32767 Hours and Days, but 7101 Weeks, 1633 Months and 136 Years (the
// field ends early in 2106). Found with the local time zone, as the encoding is.
int MaxScheduleNumber(ScheduleUnit unit);

// 1970-01-01 08:00:00 local time (daylight saving as the C library decides).
BrxTime ScheduleBase();

// The stored value for `number` units (Hours, Days and Weeks add seconds to the base; Months
// and Years are local dates at 08:00:00).
BrxTime EncodeScheduleInterval(ScheduleUnit unit, int number);

struct ScheduleInterval {
    ScheduleUnit unit;
    int number;
};
// The unit and number an editor shows; nothing for -1 (no interval), and nothing for a value that
// does not fit: one outside the stored field, or one whose number is beyond its unit's box (a
// hand-made file, or a value an earlier build let wrap). A number too large for the unit the rules
// give is shown in a larger unit when that encodes the same value (daylight saving makes a long
// interval in days decode as hours; a long one in weeks decodes as days).
std::optional<ScheduleInterval> DecodeScheduleInterval(BrxTime value);

// "1 Days 12 Hours ", "2 Weeks ", "1 Years 1 Months "; "" for -1, "?" for a value that does not
// fit (DecodeScheduleInterval gives nothing): its wrapped date would mean nothing.
std::string ScheduleDetailText(BrxTime value);
// The schedule list's detail column: "default   " before the default schedule's detail.
std::string ScheduleListDetail(const CSchedule& schedule);

} // namespace brindle
