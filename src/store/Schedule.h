// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CSchedule: a named check interval that bookmarks refer to by name.

#include "store/TimeFormat.h"

#include <cstdint>
#include <string>

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
