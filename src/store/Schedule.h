// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CSchedule: a named check interval that bookmarks refer to by name.

#include "store/TimeFormat.h"

#include <cstdint>
#include <string>

// The interval is a 32-bit field of the file, read back as unsigned (so that the years after 2038
// stay) except its last two days below 2^32, which stand for the few negative values 1970-01-01
// 08:00 local time has east of UTC+8. These are the values a schedule can hold.
inline constexpr BrxTime kMinStoredInterval = -2 * 86400;
inline constexpr BrxTime kMaxStoredInterval = 0xFFFFFFFFLL - 2 * 86400;

class CSchedule {
  public:
    CSchedule() = default;
    CSchedule(std::string name, BrxTime interval, bool isDefault)
        : m_strName(std::move(name)), m_tInterval(interval), m_bDefault(isDefault ? 1 : 0) {}

    std::string m_strName;
    // The interval encoded as a local date-time from 1970-01-01 08:00:00; -1 = none.
    BrxTime m_tInterval = -1;
    std::int32_t m_bDefault = 0;
};
