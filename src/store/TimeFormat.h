// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's date format (letters Y y D H I m M S A) and the display of time values.

#include <cstdint>
#include <string>
#include <string_view>

// Seconds since 1970-01-01 00:00:00 UTC; 0 means never. 64-bit in memory so that dates after
// January 2038 survive (the file keeps 32 bits, read as unsigned).
using BrxTime = std::int64_t;

namespace brindle {

inline constexpr const char* kDefaultTimeFormat = "Y-m-D H:M:S";

// Turns the user's format into a strftime pattern ("Y-m-D" -> "%Y-%m-%d").
std::string ExpandTimeFormat(std::string_view format);

// Formats `t` in local time with an already expanded pattern. Empty when the local time lies
// before 1970-01-01 00:00 or the text would need more than 127 characters.
std::string FormatTime(BrxTime t, const std::string& pattern);

} // namespace brindle
