// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eighteen link status values and their texts. A bookmark stores the text; the value indexes
// the status-display table (which icon a status shows).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

enum BookmarkStatus : int {
    kStatusWaitingValue = 0,
    kStatusCount = 18,
    kNoStatusIcon = 17 // what StatusDisplayOf gives for a text of no status
};

// The text of a status value (taken as 16 bits); "" outside 0-17.
std::string GetStatusText(int value);

// The icon number the display table gives the status whose text equals `text`, or 17. Letter
// case is ignored so that the texts the engines write ("No change", "Time Out", "Network
// Failure") show their icons; stored texts stay as written.
int StatusDisplayOf(std::string_view text, const std::array<std::uint32_t, 18>& displayTable);

} // namespace brindle
