// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ranges the option sheet's controls allow. Values typed into the sheet are checked against
// them before they are stored, and values read from a hand-edited settings file are brought
// into them, so the rest of the program never sees a count or index it cannot use.

#include "store/Preferences.h"

namespace brindle {

inline constexpr int kMinTrayBookmarks = 0;
inline constexpr int kMaxTrayBookmarks = 20;
inline constexpr int kMinConnections = 0;
inline constexpr int kMaxConnections = 8;
inline constexpr int kMinHostConnections = 1;
inline constexpr int kMaxHostConnections = 16;
inline constexpr int kMinHostRate = 1;
inline constexpr int kMaxHostRate = 1000;
inline constexpr int kMaxCheckOlderDays = 3650;
inline constexpr int kMinProxyPort = 0;
inline constexpr int kMaxProxyPort = 65535;
inline constexpr int kStatusIconCount = 16; // icon numbers 0-15
inline constexpr int kPreferIE = 1;
inline constexpr int kPreferNetscape = 2;
// A hot key's modifier flags: Shift, Ctrl, Alt and the extended-key flag.
inline constexpr std::uint16_t kHotKeyFlagMask = 0x0F;

// Clamps every number to its range: tray count, connection count and port to their limits,
// the browser choice to Internet Explorer unless it names Netscape Navigator (as the program
// reads it), flags to 0/1, the connection mode to 0/1, hot-key flags to the four known bits
// (a hot key with a code above 0xFF is dropped), each status-icon entry to its own status with
// an icon of 0-15. Returns whether anything changed.
bool ClampPreferences(CPreferences& prefs);

} // namespace brindle
